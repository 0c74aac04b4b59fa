// Handing a printed page to an adjustment panel: an image file dropped on the
// panel, pasted onto it (Ctrl+V, a file URL or path on the clipboard) or
// opened with "Read a printed page..." (Ctrl+O, also in the panel's context
// menu), or scanned with "Scan a printed page" (Ctrl+Shift+O, when the
// program was built with SANE) is read, its proposal typed into the panel's fields and the page shown
// marked in the marked-page window. Nothing goes to the printer: the
// technician checks the values and presses the panel's own Input button.
//
// The values stored in the printer that a page is read against (the Bi-D
// trials are printed around them) are the ones the panel's fields show:
// the panel's Read puts them there (the Bi-D input page reads when it is
// opened). Reading a page sends nothing, not even a read.
#pragma once

#include <QString>

class QMimeData;

namespace svc::ui {

class FeaturePanel;
class TFormAdjust;

// Gives `panel` its page handling when it has a page to read; other panels
// are left as they are. The main window calls it for each panel it adds.
void InstallPageReading(TFormAdjust& window, FeaturePanel* panel);

// Reads the image file `path` onto `panel` as a drop does. False when the
// file could not be read as a page (the technician was told why and the
// fields are unchanged).
bool ReadPageOnto(TFormAdjust& window, FeaturePanel& panel, const QString& path);

// The local file the data names (the first file URL, or a text that is one
// absolute path or file URL), or empty. Drags are taken only when it has an
// image suffix; a drop or paste of another file is told it is no image.
QString LocalFileOf(const QMimeData& data);
// The name ends in an image suffix the reader takes (.png, .jpg, .jpeg,
// .tif, .tiff, .pnm, .ppm, .pgm, .pbm; any case).
bool HasImageSuffix(const QString& fileName);

}  // namespace svc::ui
