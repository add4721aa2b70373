// SPDX-License-Identifier: MIT
// Anchors the string table library; its content is the embedded .qm resources.
namespace ptcdrop {
extern const char kStringTableAnchor[] = "ptcdrop string table";
} // namespace ptcdrop
