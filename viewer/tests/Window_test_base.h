// What every main-window test case gets afresh: a picture directory, a settings directory,
// the document, the selection rectangle and the help viewer. The test class's init() calls
// MakeFixture() and its cleanup() DropFixture(), after closing any window it kept.
#pragma once

#include "core/Imageinfo.h"
#include "widgets/Help_window.h"
#include "widgets/logic/Rect_object.h"

#include <QObject>
#include <QTemporaryDir>

#include <memory>

class TWindowTestBase : public QObject {
protected:
    std::unique_ptr<QTemporaryDir> dir_;      // pictures
    std::unique_ptr<QTemporaryDir> settings_; // RVS.ini
    std::unique_ptr<TIMAGE_INFO> doc_;
    std::unique_ptr<RECT_OBJ> selection_;
    std::unique_ptr<HELP_VIEWER> help_;

    void MakeFixture()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        settings_ = std::make_unique<QTemporaryDir>();
        doc_ = std::make_unique<TIMAGE_INFO>();
        selection_ = std::make_unique<RECT_OBJ>();
        help_ = std::make_unique<HELP_VIEWER>(RAVELSCOPE_VIEWER_DIR);
    }

    void DropFixture()
    {
        help_.reset();
        doc_.reset();
        dir_.reset();
        settings_.reset();
    }
};
