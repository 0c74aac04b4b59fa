// The frame shared by the how-to pages: a fixed-size dialog with only a close
// box, the main window's background, bold texts in numbered steps and
// pictures drawn from the program's own artwork.
#pragma once

#include <QColor>
#include <QSize>
#include <QString>
#include <QWidget>

class QBoxLayout;
class QFrame;
class QGridLayout;
class QLabel;

namespace svc::ui {

class THowToForm : public QWidget {
    Q_OBJECT
public:
    // Text sizes in pixels: the page texts, the notes and picture labels.
    static constexpr int kTextPx = 15;
    static constexpr int kNotePx = 13;
    static constexpr int kCaptionPx = 12;
    static constexpr int kMarkPx = 11;

    static QColor Background() { return {182, 220, 208}; }
    static QColor Navy() { return {0, 0, 128}; }
    static QColor Red() { return {255, 0, 0}; }
    static QColor Orange() { return {255, 128, 0}; }

    // Places the window at the centre of the primary screen.
    void CentreOnScreen();

protected:
    THowToForm(const QString& objectName, const QString& title, QSize clientSize);

    // A bold, word-wrapped plain-text label; the text is shown as given.
    QLabel* MakeText(const QString& text, int pixelSize = kTextPx, const QColor& colour = Qt::black);

    // One artwork picture shown at its display size. Framed pictures sit in a
    // white lowered frame; the returned widget is the frame (or the bare
    // picture), sized to hold the picture exactly.
    QWidget* MakePicture(const QString& artName, QSize size, bool framed = true);

    // A label laid over a picture made by MakePicture; `at` is measured from
    // the picture's top-left corner, so overlays line up with the artwork.
    QLabel* Overlay(QWidget* picture, const QString& text, QPoint at, int pixelSize, const QColor& colour = Qt::black);

    // Numbered steps: the number stands in the first column, its text in the
    // second; follow-on paragraphs of a step line up with the step texts.
    QGridLayout* MakeStepGrid();
    void AddStep(QGridLayout* grid, const QString& number, const QString& text);
    QLabel* AddFollowOn(QGridLayout* grid, const QString& text, int pixelSize = kTextPx,
                        const QColor& colour = Qt::black);

    // A heading such as "Note:" with its text on the same row.
    QBoxLayout* MakeHeadedText(const QString& heading, const QString& text);

private:
    static QFont PageFont(int pixelSize);
};

}  // namespace svc::ui
