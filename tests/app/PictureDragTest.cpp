// Dragging pictures out to other programs: the data a drag carries, the thumbnail strip's
// rows, and a drag from the picture view, which must leave the view as it was while a click
// still zooms.
#include "app/PictureMimeData.h"
#include "app/TPictureDrag.h"
#include "app/TPictureViewer.h"
#include "app/TThumbnailModel.h"
#include "app/TThumbnailStrip.h"
#include "app/TfrmMain.h"
#include "picture/TGifImage.h"

#include "tests/picture/SamplePictures.h"
#include "tests/support/QtTestHelpers.h"
#include "tests/support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>

using namespace vexil;
namespace fs = std::filesystem;

namespace {

std::string UrlPath(const QMimeData &data, int at = 0) {
    return QFile::encodeName(data.urls().value(at).toLocalFile()).toStdString();
}

void Send(QWidget *widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
          Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A press at from, a move to each point with the button held, and the release there.
void Gesture(QWidget *widget, Qt::MouseButton button, QPoint from, std::vector<QPoint> moves) {
    Send(widget, QEvent::MouseButtonPress, from, button, button);
    QPoint last = from;
    for (QPoint to : moves) {
        Send(widget, QEvent::MouseMove, to, Qt::NoButton, button);
        last = to;
    }
    Send(widget, QEvent::MouseButtonRelease, last, button, Qt::NoButton);
}

TEST(PictureMimeDataTest, CarriesTheFileAndThePixelsWhenGiven) {
    QImage pixels(3, 2, QImage::Format_RGB32);
    pixels.fill(Qt::red);
    const std::string path = "/pictures/a b \xc3\xa9t\xc3\xa9 #1.jpg";
    std::unique_ptr<QMimeData> data = PictureMimeData(path, pixels);
    ASSERT_TRUE(data->hasUrls());
    ASSERT_EQ(data->urls().size(), 1);
    EXPECT_TRUE(data->urls()[0].isLocalFile());
    EXPECT_EQ(UrlPath(*data), path);
    ASSERT_TRUE(data->hasImage());
    EXPECT_EQ(qvariant_cast<QImage>(data->imageData()), pixels);

    std::unique_ptr<QMimeData> urlOnly = PictureMimeData("/pictures/x.png", QImage());
    EXPECT_EQ(UrlPath(*urlOnly), "/pictures/x.png");
    EXPECT_FALSE(urlOnly->hasImage());
}

class ThumbnailDragTest : public ::testing::Test {
protected:
    test::TempHome home;
    TThumbnailStrip strip{nullptr, QString::fromStdString((home.Root() / "cache").string())};
};

TEST_F(ThumbnailDragTest, RowsGoOutAsTheirFilesAndNothingDropsIn) {
    const std::vector<std::string> pictures = {"/p/one.jpg", "/p/tw o.gif", "/p/three.png"};
    strip.Follow(pictures, 0);
    TThumbnailModel &model = strip.Model();
    EXPECT_TRUE(model.flags(model.index(1)).testFlag(Qt::ItemIsDragEnabled));
    EXPECT_FALSE(model.flags(model.index(1)).testFlag(Qt::ItemIsDropEnabled));

    std::unique_ptr<QMimeData> one(model.mimeData({model.index(1)}));
    ASSERT_NE(one, nullptr);
    ASSERT_EQ(one->urls().size(), 1);
    EXPECT_EQ(UrlPath(*one), "/p/tw o.gif");
    EXPECT_TRUE(one->hasFormat("text/uri-list"));

    std::unique_ptr<QMimeData> two(model.mimeData({model.index(2), model.index(0)}));
    ASSERT_EQ(two->urls().size(), 2);
    EXPECT_EQ(UrlPath(*two, 0), "/p/three.png");
    EXPECT_EQ(UrlPath(*two, 1), "/p/one.jpg");

    // An index of a row since removed gives nothing rather than another row's file.
    const QModelIndex gone = model.index(2);
    strip.Follow({"/p/one.jpg", "/p/tw o.gif"}, 0);
    EXPECT_EQ(model.mimeData({gone}), nullptr);

    EXPECT_TRUE(strip.dragEnabled());
    EXPECT_EQ(strip.dragDropMode(), QAbstractItemView::DragOnly);
    EXPECT_FALSE(strip.acceptDrops());
    EXPECT_EQ(model.supportedDragActions(), Qt::CopyAction);
}

// The main window on a picture folder holding p0.jpg and the 100 x 100 p1.jpg; drags are
// caught instead of entering the desktop's drag loop.
class ViewDragTest : public ::testing::Test {
protected:
    void Start(bool withPictures = true) {
        const fs::path folder = home.Home() + "TEMP";
        fs::create_directories(folder);
        if (withPictures) {
            fs::copy_file(test::SamplePicture("pattern.jpg"), folder / "p0.jpg");
            fs::copy_file(test::SamplePicture("size-100x100.jpg"), folder / "p1.jpg");
        }
        form = std::make_unique<TfrmMain>();
        form->show();
        test::RunEventLoop();
        form->PictureDrag->StartDrag = [this](std::unique_ptr<QMimeData> data) {
            dragged.push_back(std::move(data));
        };
        if (withPictures) {
            form->mniNextPicture->trigger();
            ASSERT_EQ(form->Image1->size(), QSize(100, 100));
        }
    }
    QPoint Beyond(QPoint from) const {
        return from + QPoint(QApplication::startDragDistance() + 1, 0);
    }

    test::TempHome home;
    std::unique_ptr<TfrmMain> form;
    std::vector<std::unique_ptr<QMimeData>> dragged;
};

TEST_F(ViewDragTest, ADragGivesTheFileAndPixelsAndLeavesTheZoomAsItWas) {
    Start();
    const QPoint from(20, 20);
    Gesture(form->Image1, Qt::LeftButton, from, {from + QPoint(1, 0), Beyond(from)});
    ASSERT_EQ(dragged.size(), 1u);
    EXPECT_EQ(form->Image1->size(), QSize(100, 100));
    EXPECT_EQ(UrlPath(*dragged[0]), home.Home() + "TEMP/p1.jpg");
    EXPECT_EQ(qvariant_cast<QImage>(dragged[0]->imageData()).size(), QSize(100, 100));

    // Moving on after the drag started starts no second one.
    Gesture(form->Image1, Qt::LeftButton, from, {Beyond(from), Beyond(Beyond(from))});
    EXPECT_EQ(dragged.size(), 2u);
    EXPECT_EQ(form->Image1->size(), QSize(100, 100));
}

TEST_F(ViewDragTest, ClicksAndSmallMovesZoomAsBefore) {
    Start();
    const QPoint from(20, 20);
    Gesture(form->Image1, Qt::LeftButton, from, {});
    EXPECT_EQ(form->Image1->size(), QSize(110, 110));
    // A hand that shakes a little during a click.
    Gesture(form->Image1, Qt::LeftButton, from, {from + QPoint(1, 1)});
    EXPECT_EQ(form->Image1->size(), QSize(121, 121));
    // The right button zooms out and drags nothing, however far it moves.
    Gesture(form->Image1, Qt::RightButton, from, {Beyond(Beyond(from))});
    EXPECT_EQ(form->Image1->size(), QSize(109, 109));
    // A move after the release is no drag.
    Send(form->Image1, QEvent::MouseMove, Beyond(from), Qt::NoButton, Qt::NoButton);
    EXPECT_TRUE(dragged.empty());
}

TEST_F(ViewDragTest, AZoomBeforeTheDragIsKept) {
    Start();
    form->Image1->setFocus();
    Gesture(form->Image1, Qt::LeftButton, {5, 5}, {});
    ASSERT_EQ(form->Image1->size(), QSize(110, 110));
    Gesture(form->Image1, Qt::LeftButton, {5, 5}, {Beyond({5, 5})});
    EXPECT_EQ(dragged.size(), 1u);
    EXPECT_EQ(form->Image1->size(), QSize(110, 110));
}

TEST_F(ViewDragTest, APictureShownDuringThePressKeepsItsOwnSize) {
    Start();
    const QPoint from(5, 5);
    Send(form->Image1, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(form->Image1->size(), QSize(110, 110));
    // The slide show, say, moves on while the button is held.
    form->mniPreviousPicture->trigger();
    const QSize shown = form->Image1->size();
    ASSERT_NE(shown, QSize(110, 110));
    Send(form->Image1, QEvent::MouseMove, Beyond(from), Qt::NoButton, Qt::LeftButton);
    Send(form->Image1, QEvent::MouseButtonRelease, Beyond(from), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(form->Image1->size(), shown);
    ASSERT_EQ(dragged.size(), 1u);
    EXPECT_EQ(UrlPath(*dragged[0]), home.Home() + "TEMP/p0.jpg");
}

TEST_F(ViewDragTest, NothingShownDragsNothing) {
    Start(false);
    ASSERT_TRUE(form->Pictures->PictureList.empty());
    Gesture(form->Image1, Qt::LeftButton, {0, 0}, {Beyond({0, 0})});
    EXPECT_TRUE(dragged.empty());
}

} // namespace
