#include "app/TPictureViewer.h"
#include "app/PictureMimeData.h"
#include "base/RoundHalfEven.h"
#include "browse/AttachmentStep.h"

#include "message/AttachmentFile.h"
#include "message/HeaderText.h"
#include "message/TmsCustomMessage.h"
#include "picture/TGifImage.h"
#include "platform/Exception.h"
#include "platform/NViewLib.h"
#include "platform/PrintableText.h"
#include "platform/QtText.h"
#include "platform/Wallpaper.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QImageWriter>
#include <QMimeData>
#include <QScrollArea>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace vexil {

namespace {

// Nearest integer, halves to even (the default rounding mode).
std::string FileNameOf(const std::string &path) {
    return std::string(FileNamePart(path));
}

// Into the desktop's trash, so that a slip can be undone from the file manager; where there is
// no trash, the file is deleted.
void DeletePictureFile(const std::string &path) {
    QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    if (file.moveToTrash())
        return;
    std::error_code error;
    std::filesystem::remove(path, error);
    if (error)
        throw EInOutError(FormatText("Cannot delete file %s (%s)", {path, error.message()}));
}

bool QueryShiftDown() {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}

} // namespace

TPictureViewer::TPictureViewer(TControls controls, std::string tempFolder)
    : ShiftDown(QueryShiftDown), Controls(std::move(controls)), TempFolder_(std::move(tempFolder)) {
}

void TPictureViewer::StoreAttachment(const TmsCustomMessage &message, int index) {
    if (const std::optional<std::string> picture =
            vexil::StoreAttachment(TempFolder_, message, index))
        AddPicture(*picture);
}

void TPictureViewer::AddPicture(const std::string &path) {
    if (std::find(PictureList.begin(), PictureList.end(), path) != PictureList.end())
        return;
    PictureList.push_back(path);
    UpdatePicOfPic();
    if (PictureList.size() == 1)
        ShowCurrentPicture();
    else if (PictureList.size() == std::size_t(CurIndex) + 2)
        PreloadNeighbours();
}

void TPictureViewer::SetLoading(bool loading) {
    Busy = loading;
    for (QWidget *w : Controls.DisabledWhileLoading)
        w->setEnabled(!loading);
    if (loading)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool TPictureViewer::LoadThroughRegistry(const std::string &path) {
    // Decoded before it replaces the picture shown, so a picture that fails leaves the
    // earlier one in the control.
    try {
        TPicture loaded;
        loaded.LoadFromFile(path);
        loaded.Graphic()->DIBNeeded();
        Controls.Image1->Picture().SetGraphic(loaded.TakeGraphic());
        return true;
    } catch (const Exception &) {
        return false;
    }
}

bool TPictureViewer::LoadThroughImageLibrary(const std::string &path) {
    TPicture &picture = Controls.Image1->Picture();
    if (std::optional<QImage> ready = Preloader_.Take(path)) {
        picture.Bitmap().SetHandle(QPixmap::fromImage(std::move(*ready)));
        picture.Changed();
        return true;
    }
    // The pixels of the picture shown so far are decoded into again: a fresh bitmap of a
    // large picture would pay its page faults on every picture.
    TBitmap &bitmap = picture.Bitmap();
    QImage pixels = bitmap.Handle().toImage();
    bitmap.SetHandle(QPixmap());
    bitmap.SetHandle(NViewLibLoad(path, 1, std::move(pixels)));
    picture.Changed();
    return picture.Height() != 0;
}

void TPictureViewer::ShowCurrentPicture() {
    if (CurIndex < 0 || std::size_t(CurIndex) >= PictureList.size())
        throw EListError(CurIndex);
    SetLoading(true);
    struct TDone {
        TPictureViewer *self;
        ~TDone() { self->SetLoading(false); }
    } done{this};

    const std::string path = PictureList[std::size_t(CurIndex)];
    const bool slowColor = Controls.SlowColor != nullptr && *Controls.SlowColor;
    const bool loaded = slowColor ? LoadThroughRegistry(path) : LoadThroughImageLibrary(path);
    if (!loaded) {
        // The entry goes in any case. A folder that stands in the picture folder is left
        // alone: what it holds is the user's, not a picture that failed.
        std::error_code ignored;
        if (!std::filesystem::is_directory(path, ignored))
            std::filesystem::remove(path, ignored);
        PictureList.erase(PictureList.begin() + CurIndex);
        // The first entry failing would leave the index before the list.
        CurIndex = std::max(CurIndex - 1, 0);
    }

    ApplyFit();
    UpdatePicOfPic();
    if (Controls.SetFileNamePanel)
        Controls.SetFileNamePanel(
            PictureList.empty()
                ? QStringLiteral("None")
                : MessageText(PrintableText(FileNameOf(PictureList[std::size_t(CurIndex)]))));
    PreloadNeighbours();
}

void TPictureViewer::PreloadNeighbours() {
    // The registry path decodes on its own terms; pixels from the image library would differ.
    if (Controls.SlowColor != nullptr && *Controls.SlowColor) {
        Preloader_.Clear();
        return;
    }
    std::vector<std::string> neighbours;
    const std::size_t count = PictureList.size();
    if (CurIndex > 0 && std::size_t(CurIndex) <= count)
        neighbours.push_back(PictureList[std::size_t(CurIndex) - 1]);
    if (std::size_t(CurIndex) + 1 < count)
        neighbours.push_back(PictureList[std::size_t(CurIndex) + 1]);
    Preloader_.Preload(neighbours);
}

bool TPictureViewer::Ticked(const QAction *action) {
    return action != nullptr && action->isChecked();
}

void TPictureViewer::ApplyFit() {
    TGifImage &image = *Controls.Image1;
    image.SetAutoSize(true);
    image.SetStretch(false);
    if (Ticked(Controls.mniFitToWindow))
        FitToWindow();
    else if (Ticked(Controls.mniAutoSizePictures))
        FitToBox();
}

void TPictureViewer::RefitPicture() {
    if (!Busy)
        ApplyFit();
}

void TPictureViewer::FitToWindow() {
    TGifImage &image = *Controls.Image1;
    const int w = image.Picture().Width();
    const int h = image.Picture().Height();
    if (w <= 0 || h <= 0)
        return;
    // The room the viewport has without scroll bars: a picture that fits needs none.
    // The viewport's offset inside the frame is the margin the box keeps on every side.
    const QScrollArea &box = *Controls.sbMain;
    const QRect inside = box.contentsRect();
    const QPoint margin = box.viewport()->pos() - inside.topLeft();
    const QSize room = inside.size() - 2 * QSize(std::max(margin.x(), 0), std::max(margin.y(), 0));
    const double ratio = std::min({1.0, double(room.width()) / w, double(room.height()) / h});
    image.SetAutoSize(false);
    image.SetStretch(true);
    image.SetBounds(std::max(1, RoundHalfEven(w * ratio)), std::max(1, RoundHalfEven(h * ratio)));
}

void TPictureViewer::FitToBox() {
    TGifImage &image = *Controls.Image1;
    image.SetAutoSize(false);
    image.SetStretch(true);
    const int h = image.height();
    const int w = image.width();
    if (h <= 0 || w <= 0)
        return;
    const int sh = Controls.sbMain->height();
    const int sw = Controls.sbMain->width();
    // A picture taller than the box is fitted to its height, any other to its width.
    const double ratio = sh < h ? double(sh) / h : double(sw) / w;
    image.SetBounds(RoundHalfEven(w * ratio), RoundHalfEven(h * ratio));
}

void TPictureViewer::UpdatePicOfPic() {
    Controls.PicOfPic->setEditText(QString::number(CurIndex + 1) + " of " +
                                   QString::number(PictureList.size()));
}

void TPictureViewer::Zoom(Qt::MouseButton button) {
    const int step = button == Qt::RightButton ? -10 : 10;
    const double factor = 1 + step * 0.01;
    TGifImage &image = *Controls.Image1;
    image.SetAutoSize(false);
    image.SetStretch(true);
    image.SetBounds(RoundHalfEven(image.width() * factor), RoundHalfEven(image.height() * factor));
}

void TPictureViewer::Forward() {
    const int last = int(PictureList.size()) - 1;
    if (CurIndex < last) {
        CurIndex = ShiftDown() ? last : CurIndex + 1;
        ShowCurrentPicture();
    }
    UpdatePicOfPic();
}

void TPictureViewer::Back() {
    if (CurIndex > 0) {
        CurIndex = ShiftDown() ? 0 : CurIndex - 1;
        ShowCurrentPicture();
    }
    UpdatePicOfPic();
}

void TPictureViewer::FillPicOfPicList() {
    QComboBox &box = *Controls.PicOfPic;
    const QString text = box.currentText();
    box.clear();
    for (std::size_t i = 1; i <= PictureList.size(); ++i)
        box.addItem(QString::number(i));
    box.setEditText(text);
}

void TPictureViewer::PickPicture(int index) {
    CurIndex = index;
    ShowCurrentPicture();
    UpdatePicOfPic();
}

void TPictureViewer::PicOfPicTyped(const QString &text) {
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (ok && number >= 1 && std::size_t(number) <= PictureList.size()) {
        PickPicture(number - 1);
        return;
    }
    UpdatePicOfPic();
}

void TPictureViewer::ClearPicture() {
    Preloader_.Clear();
    Controls.Image1->Picture().Clear();
    UpdatePicOfPic();
    if (Controls.SetFileNamePanel)
        Controls.SetFileNamePanel(QStringLiteral("None"));
}

void TPictureViewer::DeleteCurrentPicture() {
    if (CurIndex < 0 || std::size_t(CurIndex) >= PictureList.size())
        throw EListError(CurIndex);
    DeletePictureFile(PictureList[std::size_t(CurIndex)]);
    PictureList.erase(PictureList.begin() + CurIndex);
    if (std::size_t(CurIndex) >= PictureList.size())
        CurIndex = std::max(int(PictureList.size()) - 1, 0);
    if (PictureList.empty())
        ClearPicture();
    else
        ShowCurrentPicture();
}

std::unique_ptr<QMimeData> TPictureViewer::PictureData() const {
    TGraphic *graphic = Controls.Image1->Picture().Graphic();
    if (graphic == nullptr || graphic->Empty() || CurIndex < 0 ||
        std::size_t(CurIndex) >= PictureList.size())
        return nullptr;
    return PictureMimeData(PictureList[std::size_t(CurIndex)], graphic->ToImage());
}

void TPictureViewer::CopyPicture() const {
    std::unique_ptr<QMimeData> data = PictureData();
    if (!data)
        throw Exception("There is no picture to copy.");
    QGuiApplication::clipboard()->setMimeData(data.release());
}

void TPictureViewer::SetAsWallpaper(TRegistry &store, const std::string &programFolder) {
    TGraphic *graphic = Controls.Image1->Picture().Graphic();
    if (graphic == nullptr || graphic->Empty())
        throw Exception("There is no picture to set as the wallpaper.");
    std::string folder = programFolder;
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    const std::string path = folder + "Vexil.bmp";
    QImageWriter writer(QString::fromStdString(path), "bmp");
    if (!writer.write(graphic->ToImage()))
        throw EFCreateError(path);
    SetDesktopWallpaper(store, path);
}

} // namespace vexil
