#ifndef CIPPATH_H
#define CIPPATH_H

// Tag texts are variable paths: `Speed`, `Recipe.Speed`, `Temps[3]`,
// `Grid[1,2]`, `Line.Axis[2].Pos`. Each member is a symbolic segment (its
// name in UTF-8), each index one element segment per dimension. Pure
// functions, no I/O.

#include <QByteArray>
#include <QString>
#include <QVector>

namespace CipPath {

// Indexes above this need 32-bit segments, which the controllers do not take.
constexpr int MaxIndex = 0xFFFF;
constexpr int MaxDimensions = 3;

struct Member {
    QByteArray name;       // UTF-8
    QVector<int> indexes;  // empty, or one per dimension
};

struct Path {
    QVector<Member> members;
    bool isValid() const { return !members.isEmpty(); }
    // The index that a range counts along: the last index of the last
    // member (0 when it has none).
    int lastIndex() const;
    int dimensions() const { return members.isEmpty() ? 0 : members.last().indexes.size(); }
    // The same path naming element `index` of the last member's array.
    Path withLastIndex(int index) const;
};

// The path a text names; invalid (and `why` says why) when it is no path.
Path parse(const QString &text, QString *why = nullptr);

// The request path: symbolic segments (padded to even), element segments.
QByteArray encode(const Path &path);

} // namespace CipPath

#endif // CIPPATH_H
