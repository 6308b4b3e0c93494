// The document engine as an automation server: registerWordEngine makes "Word.Application"
// creatable through the automation class registry. Callers then reach the engine only through
// automation objects; the functions below serve tests and tools that check what it built.
#pragma once

#include "automation/object.h"

#include <functional>
#include <string>

namespace quillet::engine {

class DocumentModel;

// Registers the engine as "Word.Application" (replacing another registration). Call once at
// program start; static libraries drop self-registering objects, so nothing registers by itself.
void registerWordEngine();

// Reads a file into a new, empty document model; throws std::runtime_error when it cannot.
using DocumentReader = std::function<void(DocumentModel& model, const std::u16string& path)>;

// A reading made ready on one thread to run on another (Documents.ReadAhead): `read` fills a new
// model on the worker; `stillValid`, asked on the opening thread, says whether the settings it
// was made with still hold there; `deliver`, run on the opening thread, tells what the reading
// had to say (its messages), where reading at Open would have told it.
struct PreparedRead {
    std::function<void(DocumentModel& model)> read;
    std::function<bool()> stillValid = [] { return true; };
    std::function<void()> deliver = [] {};
};
using ReadPreparer = std::function<PreparedRead(const std::u16string& path)>;

// Sets the reader of web pages, which Documents.Open uses for format 7 (and for .htm and .html
// files with format 0). Until one is set, opening a web page fails with an automation error.
// With `prepare`, Documents.ReadAhead reads pages on a second thread ahead of their Open.
void setWebPageReader(DocumentReader reader, ReadPreparer prepare = {});

// The model behind an engine Document object, or null for any other object.
const DocumentModel* documentModel(const Object& document);

// The document's invariant check: empty when consistent, else what is wrong (also for an object
// that is not an engine document).
std::string checkDocument(const Object& document);

}  // namespace quillet::engine
