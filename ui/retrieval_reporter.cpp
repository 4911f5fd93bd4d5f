// A retrieval's progress, question and failures, put in the user's words.
#include "ui/retrieval_reporter.h"

#include "host/progress_view.h"
#include "net/status_texts.h"
#include "ui/messages.h"
#include "wallpaper/image_library.h"

namespace vexal {

std::string FetchFailureText(const FetchResult& result) {
    switch (result.failure) {
        case FetchFailure::None:
        case FetchFailure::NoAnswer:
            return {};
        case FetchFailure::BadAddress:
            return MessageText(Message::BadAddress);
        case FetchFailure::NoSecureChannel:
            return MessageText(Message::NoSecureChannel);
        case FetchFailure::Cancelled:
            return MessageText(Message::Cancelled);
        case FetchFailure::SocketError:
            return SocketErrorText(static_cast<std::int16_t>(result.status));
        case FetchFailure::Disconnected:
            return MessageText(Message::Disconnected);
        case FetchFailure::ClosedByPeer:
            return MessageText(Message::ClosedByPeer);
        case FetchFailure::ConnectionError:
            return MessageText(Message::ConnectionError);
        case FetchFailure::NotFound:
            return MessageText(Message::NotFoundOnServer, {result.subject});
        case FetchFailure::Rejected:
            return HttpStatusText(static_cast<std::int16_t>(result.status));
        case FetchFailure::TooManyRedirects:
            return MessageText(Message::TooManyRedirects);
        case FetchFailure::Malformed:
            return MessageText(Message::MalformedResponse);
        case FetchFailure::OutOfMemory:
            return SocketErrorText(kErrorOutOfMemory);
        case FetchFailure::NotSaved:
            return MessageText(Message::ImageNotSaved, {result.subject});
        case FetchFailure::Empty:
            return MessageText(Message::ImageNotFetched, {result.subject});
    }
    return {};
}

std::string RetrievalFailureText(const RetrievalResult& result) {
    switch (result.failure) {
        case RetrievalFailure::None:
            return {};
        case RetrievalFailure::Fetch:
            return FetchFailureText(result.fetch);
        case RetrievalFailure::SourceMissing:
            return MessageText(Message::SourceMissing, {result.subject});
        case RetrievalFailure::SourceUnreadable:
            return MessageText(Message::SourceUnreadable, {result.subject});
        case RetrievalFailure::NoMatch:
            return MessageText(Message::NoMatch);
        case RetrievalFailure::NthBeyondCount:
            return MessageText(Message::NthBeyondCount,
                               {std::to_string(result.wanted), std::to_string(result.count)});
        case RetrievalFailure::NothingContaining:
            return MessageText(Message::NothingContaining, {result.subject});
        case RetrievalFailure::NothingNamed:
            return MessageText(Message::NothingNamed);
        case RetrievalFailure::ImageMissing:
            return MessageText(Message::ImageMissing, {result.subject});
        case RetrievalFailure::ImageNotCopied:
            return MessageText(Message::ImageNotCopied, {result.subject, result.target});
        case RetrievalFailure::PictureRefused:
            return PictureErrorText(result.subject, result.decode);
        case RetrievalFailure::PngUnreadable:
            return MessageText(Message::PngUnreadable);
        case RetrievalFailure::PngNotConverted:
            return MessageText(Message::PngNotConverted);
        case RetrievalFailure::Cancelled:
            return MessageText(Message::Cancelled);
        case RetrievalFailure::NoConnection:
            return {};
        case RetrievalFailure::UnusableFileName:
            return MessageText(Message::UnusableFileName, {result.file, result.target, result.subject});
    }
    return {};
}

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
    return host_.dialogs->AskRetry(kPlainTitle, MessageText(Message::NoAnswerQuestion));
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
