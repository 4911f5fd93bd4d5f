// A retrieval's progress, question and failures, put in the user's words.
#include "ui/retrieval_reporter.h"

#include "host/progress_view.h"
#include "net/status_texts.h"
#include "ui/messages.h"

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

void RetrievalReporter::Label(const std::string& text) {
    if (host_.progress) host_.progress->SetMessage(text);
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
    if (host_.progress) host_.progress->SetProgressRange(0, static_cast<double>(length));
}

void RetrievalReporter::BodyProgress(std::int64_t bytes) {
    if (host_.progress) host_.progress->SetProgressValue(static_cast<double>(bytes));
}

bool RetrievalReporter::RetryOnSilence() {
    return host_.dialogs->AskRetry(kPlainTitle, MessageText(Message::NoAnswerQuestion));
}

void RetrievalReporter::FetchFailed(const FetchResult& result) {
    const std::string text = FetchFailureText(result);
    if (!text.empty()) ShowError(program_, *host_.dialogs, text);
}

}  // namespace vexal
