#include "ui/register_engines.h"

#include "engine/html/web_page_reader.h"
#include "engine/layout/page_layout.h"
#include "engine/word_engine.h"

namespace quillet::ui {

void registerEngines() {
    engine::registerWordEngine();
    engine::layout::registerPageLayout();
    engine::registerWebPageReader();
}

}  // namespace quillet::ui
