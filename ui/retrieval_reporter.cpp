// A retrieval's progress, question and failures, put in the user's words.
#include "ui/retrieval_reporter.h"

#include "host/progress_view.h"
#include "net/status_texts.h"
#include "ui/messages.h"
#include "ui/progress_presenter.h"

namespace vexal {

void RetrievalReporter::Label(const std::string& text) {
    if (progress_) progress_->view().SetMessage(text);
}

void RetrievalReporter::StepLabel(const std::string& text) {
    if (progress_) progress_->NewStep();
    Label(text);
}

void RetrievalReporter::Step(FetchStep step, std::string_view subject) {
    switch (step) {
        case FetchStep::Page:
            return StepLabel(MessageText(program_.UserLanguage, Message::FetchingPage, {subject}));
        case FetchStep::PageText:
            return StepLabel(MessageText(program_.UserLanguage, Message::ReadingPage));
        case FetchStep::Image:
            return StepLabel(MessageText(program_.UserLanguage, Message::FetchingImage, {subject}));
        case FetchStep::ImageLoaded:
            return StepLabel(MessageText(program_.UserLanguage, Message::LoadingImage));
    }
}

void RetrievalReporter::SocketTrouble(std::int16_t number) {
    Label(SocketErrorText(program_.UserLanguage, number));
}

void RetrievalReporter::BodyLength(std::int64_t length) {
    if (progress_) progress_->BodyLength(length);
}

void RetrievalReporter::BodyProgress(std::int64_t bytes) {
    if (progress_) progress_->BodyProgress(bytes);
}

bool RetrievalReporter::RetryOnSilence() {
    return dialogs_.AskRetry(kPlainTitle, MessageText(program_.UserLanguage, Message::NoAnswerQuestion));
}

void RetrievalReporter::Say(RetrievalStep step) {
    switch (step) {
        case RetrievalStep::ListingFolder:
            return StepLabel(MessageText(program_.UserLanguage, Message::ListingFolder));
        case RetrievalStep::WaitingForOtherRun:
            // Where no window shows it, the wait is said on standard error, or a run would
            // seem to hang.
            dialogs_.Inform(MessageText(program_.UserLanguage, Message::WaitingForOtherRun));
            return StepLabel(MessageText(program_.UserLanguage, Message::WaitingForOtherRun));
        case RetrievalStep::ConvertingPng:
            return StepLabel(MessageText(program_.UserLanguage, Message::ConvertingPng));
    }
}

void RetrievalReporter::ShowProgress() {
    if (progress_) progress_->view().ShowWindow();
}

void RetrievalReporter::HideProgress() {
    if (progress_) progress_->view().HideWindow();
}

}  // namespace vexal
