#pragma once

// Who made the program and where to reach them: shared by the main window's caption
// and the About window, so the two always name the same credit.

namespace quillvane {

inline constexpr char kAppTitle[] = "Quillvane";
inline constexpr char kAuthorCredit[] = " - by the Quillvane developers";

inline constexpr char kCopyrightLine[] = "Copyright (C) 2026 the Quillvane developers";
inline constexpr char kLicenceNotice[] =
    "Free software under the MIT licence: use, copy, modify and share it freely. "
    "It comes without any warranty.";
inline constexpr char kMailAddress[] = "quillvane@example.org";
inline constexpr char kWebAddress[] = "https://quillvane.example.org";

} // namespace quillvane
