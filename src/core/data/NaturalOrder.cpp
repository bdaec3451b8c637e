#include "data/NaturalOrder.h"

#include <algorithm>

namespace tenvora {

namespace {

bool isDigits(QStringView part) {
    return !part.isEmpty() && std::all_of(part.begin(), part.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// Compares digit strings of any length without converting them (no overflow).
int compareNumbers(QStringView a, QStringView b) {
    while (a.size() > 1 && a.front() == u'0')
        a = a.mid(1);
    while (b.size() > 1 && b.front() == u'0')
        b = b.mid(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

} // namespace

int CompareItemNumbers(QStringView a, QStringView b) {
    qsizetype ia = 0;
    qsizetype ib = 0;
    while (true) {
        const bool endA = ia > a.size();
        const bool endB = ib > b.size();
        if (endA || endB) {
            if (endA && endB)
                break;
            return endA ? -1 : 1;
        }
        qsizetype ja = a.indexOf(u'-', ia);
        qsizetype jb = b.indexOf(u'-', ib);
        if (ja < 0)
            ja = a.size();
        if (jb < 0)
            jb = b.size();
        const QStringView pa = a.mid(ia, ja - ia);
        const QStringView pb = b.mid(ib, jb - ib);
        const bool na = isDigits(pa);
        const bool nb = isDigits(pb);
        int c = 0;
        if (pa.isEmpty() != pb.isEmpty())
            c = pa.isEmpty() ? -1 : 1; // an empty part first, so "" and "-1" lead
        else if (na && nb)
            c = compareNumbers(pa, pb);
        else if (na != nb)
            c = na ? -1 : 1; // numbers before words at the same depth
        else
            c = pa.compare(pb);
        if (c != 0)
            return sign(c);
        ia = ja + 1;
        ib = jb + 1;
    }
    // Same parts by value ("01" and "1"): keep a total order by the plain text.
    return sign(a.compare(b));
}

} // namespace tenvora
