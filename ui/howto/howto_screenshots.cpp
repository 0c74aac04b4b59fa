// Renders each how-to page into docs/screenshots/howto-<page>.png (or into the
// folder given as the first argument), so the pages can be reviewed without a
// display: QT_QPA_PLATFORM=offscreen howto_screenshots docs/screenshots
// (with LC_ALL=C.UTF-8 LANGUAGE=de in German, the pictures' words included).
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTextStream>
#include <QWidget>

#include "i18n/Translate.h"
#include "ui/howto/HowToWindows.h"

#include <clocale>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_MESSAGES, "");
    svc::InitTranslations();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    if (!QDir().mkpath(folder)) {
        QTextStream(stderr) << "Cannot create the folder " << folder << "\n";
        return 1;
    }

    svc::ui::HowToWindows pages;
    const char* const kNames[svc::ui::kHowToCount] = {"hdang",  "pf", "pixelshift", "bid",  "pw",
                                                      "cutpos", "pg", "checka4",    "clean"};
    int failures = 0;
    for (int i = 0; i < svc::ui::kHowToCount; ++i) {
        const auto which = static_cast<svc::ui::HowTo>(i);
        pages.Show(which);
        QApplication::processEvents();
        const QString file = QStringLiteral("%1/howto-%2.png").arg(folder, kNames[i]);
        if (!pages.Window(which)->grab().save(file)) {
            QTextStream(stderr) << "Cannot write " << file << "\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
