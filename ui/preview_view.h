// The preview window as a retrieval's end sees it: it is shown (or only loaded), takes
// the retrieval's pictures and shows them, and is unloaded.
#pragma once

#include "gather/working_files.h"

namespace vexal {

class PreviewView {
public:
    virtual ~PreviewView() = default;
    // Shows the window without blocking (caption TitleText).
    virtual void ShowWindow() = 0;
    // Creates the window without showing it, for an installation at once.
    virtual void LoadWindow() = 0;
    // Takes the retrieval's pictures, shows them and enables the set-wallpaper button.
    virtual void DispPre(RetrievedPictures pictures) = 0;
    // Unloads the window, which lets the pictures' working files go, and ends the run with
    // `status`.
    virtual void Unload(int status) = 0;
};

}  // namespace vexal
