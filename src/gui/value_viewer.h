// The viewer of one grid cell's whole value: text as text (xml too), bytes
// as a hex dump with a preview when they hold an image; "Save as..." writes
// the value as it is (bytes as bytes, text as UTF-8).
#ifndef PAGEWRIGHT_GUI_VALUE_VIEWER_H_
#define PAGEWRIGHT_GUI_VALUE_VIEWER_H_

#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <functional>
#include <vector>

#include "app/main_frame.h"

namespace pagewright {

// The image the bytes hold, if any: at their start, or after a wrapper
// such as the OLE object header Access puts before a bitmap (the first
// image signature within the first 512 bytes).
QImage ImageIn(const std::vector<uint8_t>& bytes);
// "00000000  47 49 46 38 ...  GIF8..." lines, at most `limit` bytes shown.
QString HexDump(const std::vector<uint8_t>& bytes, size_t limit);

class ValueViewer : public QDialog {
  Q_OBJECT
 public:
  // `files`: the files of the open database; "Save as..." never writes
  // over one of them.
  ValueViewer(GridCell cell, std::vector<std::filesystem::path> files, QWidget* parent = nullptr);

  QTabWidget* tabs() const { return tabs_; }
  const QImage& image() const { return image_; }
  // The bytes "Save as..." writes.
  QByteArray SavedBytes() const;
  // Writes the value to `path`; the reason when it could not.
  std::optional<std::string> SaveTo(const std::string& path) const;

 private:
  void SaveAs();

  GridCell cell_;
  std::vector<std::filesystem::path> files_;
  QTabWidget* tabs_;
  QImage image_;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_GUI_VALUE_VIEWER_H_
