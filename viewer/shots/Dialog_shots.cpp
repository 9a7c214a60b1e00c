// Screenshots of the editing dialogs: opens a picture in the main window, runs each
// dialog's command and saves the dialog as it first shows (window frame excluded) as
// OUT_DIR/<command>.png, then cancels it. Run by scripts/screenshot.sh.
//   ravelscope_dialog_shots PICTURE OUT_DIR
#include "viewer/shots/Tool_window.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: ravelscope_dialog_shots PICTURE OUT_DIR\n");
        return 2;
    }
    const std::string picture = argv[1];
    const QString out_dir = QString::fromLocal8Bit(argv[2]);
    QApplication app(argc, argv);
    TOOL_WINDOW window(picture);
    TForm1& form = window.form;

    int failures = 0;
    for (const char* command : {"mn_Colors_Gamma", "mn_Image_Solarize", "mn_Tests_MedianFilter", "mn_Image_Pixelate",
                                "mn_Image_Explosion", "mn_Image_Rotate", "mn_Colors_Histogram"}) {
        bool shot = false;
        // Once the dialog's event loop runs: let it paint, grab it, cancel it.
        QTimer::singleShot(300, &form, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            shot = dialog->grab().save(out_dir + "/" + command + ".png");
            dialog->reject();
        });
        form.Command(command)->trigger();
        if (!shot) {
            std::fprintf(stderr, "%s: no dialog captured\n", command);
            ++failures;
        } else {
            std::printf("%s/%s.png\n", argv[2], command);
        }
    }
    return failures == 0 ? 0 : 1;
}
