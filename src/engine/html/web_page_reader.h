// Reading a web page into the document engine, as Documents.Open does for format 7: the page is
// decoded like every topic page (byte-order mark, its own charset, else the job's ANSI code page),
// parsed by gumbo as browsers parse it, styled by its CSS and presentational HTML, and laid out as
// paragraphs, headings (Heading 1 to 6, outline levels 1 to 6), lists, tables, hyperlinks,
// bookmarks and linked pictures. Scripts, form controls, objects and frames are left out.
// Files the page refers to are read only from inside its working folder (see local_address.h).
#pragma once

#include <functional>
#include <string>

namespace quillet::engine {

class DocumentModel;

namespace html {

// The working folder of a page: the only folder whose files (pictures, style sheets) the page's
// reading may open. Given the page's path; an empty answer means the page's own folder.
using WorkingFolderOf = std::function<std::u16string(const std::u16string& page)>;

// Fills `model`, a new, empty document, with the page at `path`. `workingFolder` holds the files
// the page may refer to; empty for the page's own folder. Throws std::runtime_error when the file
// cannot be read; messy HTML and missing pictures or style sheets are not errors.
void readWebPage(DocumentModel& model, const std::u16string& path,
                 const std::u16string& workingFolder = {});

}  // namespace html

// Makes readWebPage the engine's reader of web pages (setWebPageReader). Files are read only from
// the folder that `workingFolderOf` gives for each page; by default the working folder of the
// conversion job on the calling thread (text_context.h), else the page's own folder.
void registerWebPageReader(html::WorkingFolderOf workingFolderOf = {});

}  // namespace quillet::engine
