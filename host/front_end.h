// What start-up hands control to once the run mode is known: the entry editor, or a
// retrieval. Each front end (windows, or none when nobody watches) implements it.
#pragma once

namespace vexal {

// What Main hands control to once the run mode is known.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // False when there is no editor to show (nobody watches): the run then says so and
    // ends with a failure, so a scheduled run without an identifier is noticed.
    virtual bool HasEditor() const { return true; }
    // Mode 0: show the entry editor without blocking.
    virtual void ShowEditor() = 0;
    // Modes 1 and 2: show the progress window, let it draw, then run the retrieval
    // (gathering and choice only when `gather`), ending in the preview or installation.
    virtual void RunRetrieval(bool gather) = 0;
};

}  // namespace vexal
