// AboutDialog: the product name, the version and a picture.
#include "shell/AboutDialog.h"

#include "shell/UiStyle.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tenvora::ui {

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("关于..."));
    setFont(SongFont());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PaleYellow());
    setPalette(pal);

    auto* picture = new QLabel(this);
    picture->setPixmap(QIcon(QStringLiteral(":/shell/images/about.svg")).pixmap(96, 96));
    auto* name = new QLabel(QStringLiteral("Tenvora"), this);
    QFont big = SongFont(36);
    big.setBold(true);
    name->setFont(big);
    name->setStyleSheet(QStringLiteral("color: #d00000;"));
    auto* version = new QLabel(QStringLiteral("版本号：Version 1.0.0"), this);
    auto* platform = new QLabel(QStringLiteral("For Windows 98/2000"), this);
    auto* close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(name);
    text->addWidget(version);
    text->addWidget(platform);
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(16);
    top->addLayout(text);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->addLayout(top);
    layout->addSpacing(12);
    layout->addWidget(close, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint());
}

} // namespace tenvora::ui
