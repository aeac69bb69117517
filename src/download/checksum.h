// The MD5 digest of a downloaded file.
#pragma once

#include <QString>

namespace Checksum {

// Size of the windows in which a file is read: at most one is in memory at a time.
constexpr qint64 kWindowSize = 16 * 1024 * 1024;

// MD5 of the whole file as 32 lower-case hexadecimal digits; empty when the file cannot be
// opened (a symbolic link is not followed) or read, with the reason in Platform::LastError().
QString FileDigest(const QString& path);

// The digest a file must have: the --checksum value when given, else the record's, in lower case.
QString ExpectedDigest(const QString& optionValue, const QString& recordValue);

} // namespace Checksum
