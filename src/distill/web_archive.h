// Web archives (.mht, .mhtml) as topic pages: a MIME document holding a page and its pictures,
// each part in quoted-printable or base64 and named by its Content-Location or Content-ID.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// ".mht" or ".mhtml", in any letter case.
bool isWebArchiveExtension(std::u16string_view extension);

// The page the web archive `archive` holds, as text: its HTML part decoded from its transfer
// encoding and charset, declared UTF-8 at its start, and its references to the archive's other
// parts (by Content-Location, also relative to the page's own, or by "cid:") turned into links to
// the files those parts are written to: "NAME_files/partN.EXT" beside the archive, where NAME is
// the archive's file name. Only places inside `rootFolder` are written. A part that cannot be
// decoded is left out with a warning. Nothing when `bytes` hold no MIME document with an HTML
// part (a page that has been unpacked already, say).
std::optional<std::u16string> unpackWebArchive(std::string_view bytes,
                                               const std::u16string& archive,
                                               const std::u16string& rootFolder);

}  // namespace quillet
