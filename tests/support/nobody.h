#pragma once

#include <QString>
#include <QStringList>

// Running part of a test as the unprivileged user, so that permission cases mean something
// when the tests run as root: the test program starts again under setpriv.
namespace Nobody {

inline constexpr unsigned User = 65534;
inline constexpr unsigned Group = 65534;

// The setpriv arguments that take on the unprivileged user and group.
QStringList Credentials();

// This test program where the unprivileged user can run it: a copy in an open folder, since
// the build folder may be private to root. "" when it cannot be made.
QString Program();

// Whether this process may start children as the unprivileged user.
bool CanRun();

} // namespace Nobody
