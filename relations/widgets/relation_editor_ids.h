#pragma once
// Control IDs of the relation editor (dialog template 130). Each control
// carries its ID as the dynamic property "controlId".

namespace corvessa::relation_editor_ids {

inline constexpr int kTemplate = 130;
inline constexpr int kStatic = -1;  // labels without an ID of their own
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kIpAddress = 1059;
inline constexpr int kHardwareAddress = 1069;
inline constexpr int kServerAddress = 1070;
inline constexpr int kHostname = 1072;
inline constexpr int kDescription = 1073;

}  // namespace corvessa::relation_editor_ids
