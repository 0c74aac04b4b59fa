// Reads a printed page (a PNG preview the printer wrote) for the panel without
// ever holding the whole image: rows are decoded one at a time and either
// averaged down to a small picture or cut to a region shown at full size. A
// sheet at 1440 dpi has half a billion pixels; the panel needs a few million.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <atomic>

namespace vp::panel {

struct PageImage {
    QImage image;             // RGB32; null when the page could not be read
    QSize pageSize;           // the whole page in pixels, once its header was read
    QString error;            // why not, in words
    bool unfinished = false;  // missing or cut short: it may still be being written
    bool cancelled = false;
};

// The whole page averaged down to fit `bound` (aspect kept; a page smaller
// than `bound` comes at its own size). `cancel` is checked between rows.
PageImage ReadScaledPage(const QString& path, QSize bound, const std::atomic_bool& cancel);

// The pixels of `region` (clipped to the page) at full size.
PageImage ReadPageRegion(const QString& path, QRect region, const std::atomic_bool& cancel);

// The widest page read: a row buffer is three bytes a pixel.
inline constexpr int kMaxPageWidth = 200000;

}  // namespace vp::panel
