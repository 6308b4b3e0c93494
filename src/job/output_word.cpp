#include "job/output_word.h"

#include "platform/free_memory.h"

#include "platform/temp_files.h"
#include "platform/translation.h"
#include "platform/utf.h"
#include "text/code_pages.h"
#include "text/text_context.h"

namespace quillet {

namespace {

std::u16string closeCaption() {
    return tr16(QT_TRANSLATE_NOOP("quillet", "关闭"));
}
std::u16string failedText() {
    return tr16(QT_TRANSLATE_NOOP("quillet", "失败。"));
}
std::u16string deniedText() {
    return tr16(QT_TRANSLATE_NOOP("quillet", " 拒绝访问！它可能已被打开。请关闭它，然后重试。"));
}

}  // namespace

TOutputWord::TOutputWord(bool CreateSuspended, UserInterface& ui)
    : TOutputWord(CreateSuspended, ui, std::make_unique<TChmToDocPDF>()) {}

TOutputWord::TOutputWord(bool CreateSuspended, UserInterface& ui, std::unique_ptr<TChmToDocPDF> job)
    : BrevaltPDF(std::move(job)), m_ui(ui) {
    BrevaltPDF->FOnChange = [this](const std::u16string& i, int p) { Chm2WordOnChange(i, p); };
    BrevaltPDF->FOnDenied = [this](const std::u16string& f) { ChmToDocPDF_OnDenied(f); };
    BrevaltPDF->FOnError = [this](const std::u16string& m) { ChmToDocPDF_OnError(m); };
    if (!CreateSuspended) Start();
}

TOutputWord::~TOutputWord() {
    WaitFor();
}

void TOutputWord::Execute() {
    TChmToDocPDF& job = *BrevaltPDF;
    // The text layer's messages reach the user on the main thread, and code page 0 means this
    // job's code page, whatever another job on another thread uses.
    SynchronizedUserInterface ui(m_ui, *this);
    ScopedTextContext textContext({0, &ui, u""});
    try {
        // The language the user chose (a code page already set) holds over the help file's
        // locale, for the contents, the index and the pages alike.
        const int chosenCodePage = job.CodePage;
        job.LoadFromCHM(chm);
        if (chosenCodePage != 0 && chosenCodePage != job.CodePage) {
            job.CodePage = chosenCodePage;
            job.CodePageSource = u"user";
            job.DefaultPage = DecodeCodePage(job.rDefaultPage, chosenCodePage);
        }
        // Pages that declare no character set are read in the help file's code page.
        if (job.CodePage != 0 && hasConverter(job.CodePage))
            currentTextContext().ansiCodePage = job.CodePage;
        job.rootFolder = NewRootFolderName();
        currentTextContext().workingFolder = job.rootFolder;
        DeleteFolder(job.rootFolder);
        job.UpdateSettings();
        job.decompile();
        // Unpacking may have found the pages to agree on another code page than the locale's.
        if (job.CodePage != 0 && hasConverter(job.CodePage))
            currentTextContext().ansiCodePage = job.CodePage;
        job.Execute();
        job.releaseStageData();  // the Word stage needs only the contents list and the folder
        releaseFreedMemory();
        job.OutputWord();
    } catch (const EUserCancel&) {
        if (!job.rootFolder.empty()) DeleteFolder(job.rootFolder);
    } catch (const std::exception& e) {
        endAfterFailure(fromUtf8(e.what()));
    } catch (...) {
        endAfterFailure(u"unknown error");
    }
}

void TOutputWord::endAfterFailure(const std::u16string& message) {
    TChmToDocPDF& job = *BrevaltPDF;
    if (!job.rootFolder.empty()) DeleteFolder(job.rootFolder);
    job.Failed = true;
    job.OK = true;
    info = failedText();
    // Straight to the display, not through the progress event: after a cancel request that
    // would raise again instead of reporting.
    ChmToDocPDF_OnError(message);
}

void TOutputWord::StopIt() {
    WantToExit = true;
    WaitFor();
}

void TOutputWord::Chm2WordOnChange(const std::u16string& newInfo, int persent) {
    if (persent != 0) position = persent;
    if (!newInfo.empty()) info = newInfo;
    Synchronize([this] { UpdateProgress(); });
    if (WantToExit) throw EUserCancel();
}

void TOutputWord::ChmToDocPDF_OnError(const std::u16string& ErrMsg) {
    ErrorMsg = ErrMsg;
    Synchronize([this] { UpdateProgress(); });
}

void TOutputWord::ChmToDocPDF_OnDenied(const std::u16string& deniedFile) {
    DeniedFile = deniedFile;
    Synchronize([this] { AskDenied(); });
}

void TOutputWord::UpdateProgress() {
    if (!ErrorMsg.empty()) {
        m_ui.showMessage(MessageKind::Error, ErrorMsg);
        ErrorMsg.clear();
    }
    if (Gauge1 != nullptr) Gauge1->setProgress(position);
    if (lbInfo != nullptr) lbInfo->setCaption(info);
    if (BrevaltPDF->OK && btnCancel != nullptr) btnCancel->setCaption(closeCaption());
}

void TOutputWord::AskDenied() {
    if (m_ui.askAbortRetry(u"\"" + DeniedFile + u"\"" + deniedText()) == AbortRetry::Abort)
        BrevaltPDF->Abort = true;
}

}  // namespace quillet
