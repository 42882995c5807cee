#pragma once
// The main window's pictures: the list of picture files in the picture folder, the one
// shown, how it is loaded (the image library, or the picture-format registry in 256-colour
// mode), fitted and zoomed, and the moves over the list. The window connects its commands
// straight to it; the viewer works on the window's controls.

#include "app/TPicturePreloader.h"
#include "browse/FolderPictures.h"
#include "platform/Object.h"

#include <QString>
#include <Qt>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QMimeData;
class QScrollArea;
class QWidget;

namespace vexil {

class TGifImage;
class TmsCustomMessage;
class TRegistry;

class TPictureViewer : public TObject {
public:
    struct TControls {
        TGifImage *Image1 = nullptr;
        QScrollArea *sbMain = nullptr;
        QComboBox *PicOfPic = nullptr;
        QAction *mniAutoSizePictures = nullptr;
        // Fit to Window; it and Auto Size exclude each other, so at most one is ticked.
        QAction *mniFitToWindow = nullptr;
        // Disabled while a picture loads: Back, Forward and Stop.
        std::vector<QWidget *> DisabledWhileLoading;
        // Status panel 2: the file name of the picture shown.
        std::function<void(const QString &)> SetFileNamePanel;
        // The 256-colour mode setting, owned by the window.
        const bool *SlowColor = nullptr;
    };

    TPictureViewer(TControls controls, std::string tempFolder);

    // Paths of the picture files, in the order they arrived or were listed.
    std::vector<std::string> PictureList;
    // The entry shown.
    std::int32_t CurIndex = 0;
    // True while a picture is being loaded.
    bool Busy = false;
    // Whether Shift is held down now (asynchronous key state); tests replace it.
    std::function<bool()> ShiftDown;

    const std::string &TempFolder() const { return TempFolder_; }
    // The pictures beside the one shown, decoded ahead for Forward and Back.
    TPicturePreloader &Preloader() { return Preloader_; }

    // The attachment step: writes attachment index of the message into the picture folder
    // under a usable name that no other file holds ("name (2).jpg" beside a different
    // "name.jpg"); a picture file joins the list, any other file is deleted at once. When
    // the folder already holds the same bytes under that name, nothing is written or listed.
    // A failed write throws (EFCreateError, EInOutError) and lists nothing.
    void StoreAttachment(const TmsCustomMessage &message, int index);
    // Appends path to the list unless it is there already; the first entry of an empty list
    // is shown at once.
    void AddPicture(const std::string &path);

    // Loads and shows entry CurIndex. A picture that fails to load is deleted from disk and
    // list without a message, and the index moves back by one (never below 0).
    void ShowCurrentPicture();
    // Sizes the picture shown as a load would under the fit ticked now; for a fit ticked or
    // unticked, or a box that changed size.
    void RefitPicture();
    // A mouse press on the picture: 10 % larger, or 10 % smaller for the right button.
    void Zoom(Qt::MouseButton button);

    // Forward and Back; with Shift held, to the last or first picture.
    void Forward();
    void Back();
    // The picture-number box: its list is "1" .. count; a pick shows that picture.
    void FillPicOfPicList();
    void PickPicture(int index);
    // Typed text in the picture-number box: a number within the list shows that picture;
    // anything else puts the box back to the current number.
    void PicOfPicTyped(const QString &text);

    // Moves the file shown to the desktop's trash (deletes it where there is none), drops its
    // entry, then shows the picture that followed it (or the new last one), or clears the
    // control when none remain. An empty list throws EListError and touches nothing; a file
    // that can be neither trashed nor deleted throws EInOutError.
    void DeleteCurrentPicture();
    // The picture shown as the clipboard or a drag gives it; null when none is shown.
    std::unique_ptr<QMimeData> PictureData() const;
    // Puts the picture shown on the clipboard: its pixels, and its file for file managers.
    // Throws when no picture is shown.
    void CopyPicture() const;
    // Writes the picture shown as programFolder + "Vexil.bmp" and makes it the desktop's
    // wallpaper. Throws when no picture is shown or the file cannot be written.
    void SetAsWallpaper(TRegistry &store, const std::string &programFolder);

private:
    // "3 of 12" in the picture-number box.
    void UpdatePicOfPic();
    bool LoadThroughRegistry(const std::string &path);
    bool LoadThroughImageLibrary(const std::string &path);
    void FitToBox();
    // The whole picture inside the box, aspect kept, never larger than its own size.
    void FitToWindow();
    void ApplyFit();
    static bool Ticked(const QAction *action);
    void SetLoading(bool loading);
    void ClearPicture();
    void PreloadNeighbours();

    TControls Controls;
    std::string TempFolder_;
    TPicturePreloader Preloader_;
};

} // namespace vexil
