// The preview window as the retrieval driver and the installation see it: it is shown
// (or only loaded), shows the working picture, holds that picture, and is unloaded.
#pragma once

#include "host/picture.h"

namespace vexal {

// What the preview window's picture control holds.
struct PreviewPicture {
    // True once DispPre has put the picture read from WorkImageFile into the control.
    bool PictureLoaded = false;
    Picture picture;
};

class PreviewView {
public:
    virtual ~PreviewView() = default;
    // Shows the window without blocking (caption TitleText).
    virtual void ShowWindow() = 0;
    // Creates the window without showing it, for an installation at once.
    virtual void LoadWindow() = 0;
    // Puts the picture of WorkImageFile into the window and enables its set-wallpaper
    // button.
    virtual void DispPre() = 0;
    // The picture control's state, read and written by the installation.
    virtual PreviewPicture& PictureState() = 0;
    // Unloads the window, which deletes WorkImageFile (unless it is the user's own picture)
    // and ends the run with `status`.
    virtual void Unload(int status) = 0;
};

}  // namespace vexal
