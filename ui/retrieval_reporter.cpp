// A retrieval's progress, question and failures, put in the user's words.
#include "ui/retrieval_reporter.h"

#include "host/progress_view.h"
#include "net/status_texts.h"
#include "ui/messages.h"

namespace vexal {

void RetrievalReporter::Label(const std::string& text) {
    if (progress_) progress_->SetMessage(text);
}

void RetrievalReporter::Step(FetchStep step, std::string_view subject) {
    switch (step) {
        case FetchStep::Page:
            return Label(MessageText(Message::FetchingPage, {subject}));
        case FetchStep::PageText:
            return Label(MessageText(Message::ReadingPage));
        case FetchStep::Image:
            return Label(MessageText(Message::FetchingImage, {subject}));
        case FetchStep::ImageLoaded:
            return Label(MessageText(Message::LoadingImage));
    }
}

void RetrievalReporter::SocketTrouble(std::int16_t number) { Label(SocketErrorText(number)); }

void RetrievalReporter::BodyLength(std::int64_t length) {
    if (progress_) progress_->SetProgressRange(0, static_cast<double>(length));
}

void RetrievalReporter::BodyProgress(std::int64_t bytes) {
    if (progress_) progress_->SetProgressValue(static_cast<double>(bytes));
}

bool RetrievalReporter::RetryOnSilence() {
    return dialogs_.AskRetry(kPlainTitle, MessageText(Message::NoAnswerQuestion));
}

void RetrievalReporter::Say(RetrievalStep step) {
    switch (step) {
        case RetrievalStep::ListingFolder:
            return Label(MessageText(Message::ListingFolder));
        case RetrievalStep::WaitingForOtherRun:
            return Label(MessageText(Message::WaitingForOtherRun));
        case RetrievalStep::ConvertingPng:
            return Label(MessageText(Message::ConvertingPng));
    }
}

void RetrievalReporter::ShowProgress() {
    if (progress_) progress_->ShowWindow();
}

void RetrievalReporter::HideProgress() {
    if (progress_) progress_->HideWindow();
}

}  // namespace vexal
