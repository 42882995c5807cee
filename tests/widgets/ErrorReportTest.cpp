// The general error report: whatever text an exception carries, the message box shows it
// whole and without control characters.
#include "widgets/ErrorReport.h"

#include "platform/Exception.h"
#include "tests/support/ModalCatcher.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using vexil::test::ModalCatcher;

TEST(ErrorReport, ShowsServerTextWholeAndWithoutControlCharacters) {
    const auto shown = [](const std::exception &error) {
        QWidget parent;
        ModalCatcher boxes;
        vexil::ReportError(&parent, error);
        EXPECT_EQ(boxes.Count(), 1);
        return boxes.Texts().value(0);
    };
    // A reply that begins with NUL once gave an empty box.
    EXPECT_EQ(shown(vexil::Exception(std::string("\0"
                                                 "502 \x1b]0;x\x07gone\x1b[2J",
                                                 19))),
              "?502 ?]0;x?gone?[2J");
    // Latin-1 bytes from a server, with CSI (0x9B) among them.
    EXPECT_EQ(shown(vexil::Exception("411 Gr\xfc\xdf\x9b"
                                     "2J")),
              QString::fromLatin1("411 Gr\xfc\xdf?2J"));
    // A file path in UTF-8 keeps its letters.
    EXPECT_EQ(shown(std::runtime_error("Cannot open file /tmp/\xd0\xbf\xd1\x80.jpg\r\n")),
              QString::fromUtf8("Cannot open file /tmp/\xd0\xbf\xd1\x80.jpg??"));
}
