// SPDX-License-Identifier: MIT
// The one way the conversion tells the user something: a message key and an optional argument.
#pragma once

#include <QString>

#include <optional>

namespace ptcdrop {

// Message keys; their texts live in the string table.
namespace keys {
inline constexpr char kDirectory[] = "Directory"; // a dropped path is a folder
inline constexpr char kResource[] = "Resource";   // unknown resource tag (argument: the tag)
inline constexpr char kSave[] = "Save";           // an output failed (argument: its name)
inline constexpr char kUnzip[] = "Unzip";         // a payload did not gunzip (argument: source)
inline constexpr char kRead[] = "Read";           // a source could not be read (argument: it)
inline constexpr char kName[] = "Name";           // a name is not text (argument: it, escaped)
inline constexpr char kTrailing[] = "Trailing";   // undecoded bytes after gzip data (source)
// Joining a series (argument: the piece file name at fault)
inline constexpr char kJoinKind[] = "JoinKind";       // a piece is not a "GRP" container
inline constexpr char kJoinMissing[] = "JoinMissing"; // a piece of the series is missing
inline constexpr char kJoinDamaged[] = "JoinDamaged"; // the gzip stream breaks in a piece
} // namespace keys

struct Alert
{
    QString key;
    std::optional<QString> argument;
    bool operator==(const Alert&) const = default;
};

// Front ends show alerts; tests record them. `alert` returns once the user has seen it.
class AlertSink
{
public:
    virtual ~AlertSink() = default;
    virtual void alert(const Alert& alert) = 0;
};

} // namespace ptcdrop
