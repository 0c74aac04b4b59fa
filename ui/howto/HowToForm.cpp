#include "ui/howto/HowToForm.h"

#include "ui/howto/ArtWords.h"

#include <QBoxLayout>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QSvgWidget>

// The artwork lives in a static library, so its resources are registered by
// hand; the linker would otherwise drop the unreferenced resource object.
static void RegisterHowToArt() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(howto);
        return true;
    }();
    (void)registered;
}

namespace svc::ui {

namespace {
constexpr int kFrameLine = 2;  // width of the lowered picture frame
constexpr int kMargin = 8;

// A picture of the artwork, its words in the user's language; a screen
// reader tells them as the picture's description.
QSvgWidget* LoadArt(const QString& artName, QWidget* parent) {
    auto* art = new QSvgWidget(parent);
    art->setObjectName(artName);
    QFile file(QStringLiteral(":/howto/art/%1.svg").arg(artName));
    if (!file.open(QIODevice::ReadOnly)) return art;
    const QByteArray svg = TranslateArtWords(file.readAll());
    art->load(svg);
    QStringList words = ArtWords(svg);
    static const QRegularExpression letter(QStringLiteral("\\p{L}"));
    words.removeIf([](const QString& w) { return !w.contains(letter); });
    words.removeDuplicates();
    art->setAccessibleDescription(words.join(QStringLiteral(", ")));
    return art;
}
}  // namespace

THowToForm::THowToForm(const QString& objectName, const QString& title, QSize clientSize)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    RegisterHowToArt();
    setObjectName(objectName);
    setWindowTitle(title);
    setFixedSize(clientSize);
    // A help page beside the main window must never keep the program running
    // once the operator has quit it.
    setAttribute(Qt::WA_QuitOnClose, false);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, Background());
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    setFont(PageFont(kTextPx));
    CentreOnScreen();
    // Escape closes the page, as the close box in its title bar does (window
    // managers show that box only with the system menu).
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
}

QFont THowToForm::PageFont(int pixelSize) {
    QFont font;
    // Liberation Sans has Arial's metrics, so the fixed pages keep their
    // line breaks where Arial itself is missing.
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPixelSize(pixelSize);
    font.setBold(true);
    return font;
}

void THowToForm::CentreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    // The frame is only known once the window has been shown; until then the
    // client area stands in for it.
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

QLabel* THowToForm::MakeText(const QString& text, int pixelSize, const QColor& colour) {
    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(PageFont(pixelSize));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (colour != QColor(Qt::black)) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, colour);
        label->setPalette(pal);
    }
    return label;
}

QWidget* THowToForm::MakePicture(const QString& artName, QSize size, bool framed) {
    if (!framed) {
        QSvgWidget* art = LoadArt(artName, this);
        art->setFixedSize(size);
        return art;
    }
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(kFrameLine);
    QPalette pal = frame->palette();
    pal.setColor(QPalette::Window, Qt::white);
    frame->setPalette(pal);
    frame->setAutoFillBackground(true);
    frame->setFixedSize(size + QSize(2 * kFrameLine, 2 * kFrameLine));

    QSvgWidget* art = LoadArt(artName, frame);
    art->setGeometry(kFrameLine, kFrameLine, size.width(), size.height());
    return frame;
}

QLabel* THowToForm::Overlay(QWidget* picture, const QString& text, QPoint at, int pixelSize, const QColor& colour) {
    QLabel* label = MakeText(text, pixelSize, colour);
    label->setParent(picture);
    label->setWordWrap(false);
    label->setAttribute(Qt::WA_TranslucentBackground);
    auto* frame = qobject_cast<QFrame*>(picture);
    const QPoint origin = frame != nullptr ? frame->contentsRect().topLeft() : QPoint(0, 0);
    label->adjustSize();
    label->move(origin + at);
    label->raise();
    return label;
}

QGridLayout* THowToForm::MakeStepGrid() {
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(kMargin);
    grid->setColumnStretch(1, 1);
    return grid;
}

void THowToForm::AddStep(QGridLayout* grid, const QString& number, const QString& text) {
    const int row = grid->rowCount();
    QLabel* numberLabel = MakeText(number);
    numberLabel->setWordWrap(false);
    grid->addWidget(numberLabel, row, 0, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(MakeText(text), row, 1);
}

QLabel* THowToForm::AddFollowOn(QGridLayout* grid, const QString& text, int pixelSize, const QColor& colour) {
    QLabel* label = MakeText(text, pixelSize, colour);
    grid->addWidget(label, grid->rowCount(), 1);
    return label;
}

QBoxLayout* THowToForm::MakeHeadedText(const QString& heading, const QString& text) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    QLabel* head = MakeText(heading);
    head->setWordWrap(false);
    row->addWidget(head, 0, Qt::AlignTop);
    row->addWidget(MakeText(text), 1);
    return row;
}

}  // namespace svc::ui
