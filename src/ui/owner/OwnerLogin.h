// The owner's login: the accounts of kind "1" only; a bidder's account is refused.
#pragma once

#include "shell/LoginDialog.h"

namespace tenvora::ui {

LoginPolicy OwnerLogin(DataModule& dm);

} // namespace tenvora::ui
