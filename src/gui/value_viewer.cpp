#include "gui/value_viewer.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <array>
#include <cstring>
#include <fstream>

#include "app/output_guard.h"
#include "gui/window_port.h"

namespace pagewright {
namespace {

// Signatures of the image formats Qt reads without plug-ins.
struct Signature {
  const char* bytes;
  size_t size;
};
constexpr std::array<Signature, 6> kImageSignatures = {{
    {"\x89PNG\r\n\x1a\n", 8},
    {"\xFF\xD8\xFF", 3},
    {"GIF87a", 6},
    {"GIF89a", 6},
    {"BM", 2},
    {"II*\0", 4},
}};
constexpr size_t kWrapperSearch = 512;
// A hex dump beyond this many bytes is cut (the value is still saved whole).
constexpr size_t kHexLimit = 4 << 20;

}  // namespace

QImage ImageIn(const std::vector<uint8_t>& bytes) {
  const size_t end = std::min(bytes.size(), kWrapperSearch);
  for (size_t at = 0; at < end; ++at) {
    for (const Signature& s : kImageSignatures) {
      if (bytes.size() - at < s.size || std::memcmp(bytes.data() + at, s.bytes, s.size) != 0) continue;
      QImage image;
      if (image.loadFromData(bytes.data() + at, static_cast<int>(std::min<size_t>(bytes.size() - at, INT32_MAX))))
        return image;
    }
  }
  return {};
}

QString HexDump(const std::vector<uint8_t>& bytes, size_t limit) {
  static const char* digits = "0123456789ABCDEF";
  const size_t shown = std::min(bytes.size(), limit);
  std::string out;
  out.reserve(shown / 16 * 78 + 80);
  char offset[24];
  for (size_t line = 0; line < shown; line += 16) {
    std::snprintf(offset, sizeof offset, "%08zX  ", line);
    out += offset;
    for (size_t i = 0; i < 16; ++i) {
      if (line + i < shown) {
        out += digits[bytes[line + i] >> 4];
        out += digits[bytes[line + i] & 15];
        out += ' ';
      } else {
        out += "   ";
      }
    }
    out += ' ';
    for (size_t i = 0; i < 16 && line + i < shown; ++i) {
      const uint8_t c = bytes[line + i];
      out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
    }
    out += '\n';
  }
  if (shown < bytes.size()) out += "... " + std::to_string(bytes.size() - shown) + " more bytes (Save as... writes them all)\n";
  return QString::fromStdString(out);
}

ValueViewer::ValueViewer(GridCell cell, std::vector<std::filesystem::path> files, QWidget* parent)
    : QDialog(parent), cell_(std::move(cell)), files_(std::move(files)) {
  setWindowTitle(QString::fromStdString(cell_.column + " (" + cell_.typeText + ")"));
  resize(760, 560);
  tabs_ = new QTabWidget(this);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

  if (cell_.value.kind == CellKind::kBytes || cell_.value.kind == CellKind::kMissing) {
    image_ = ImageIn(cell_.value.bytes);
    if (!image_.isNull()) {
      auto* label = new QLabel;
      label->setPixmap(QPixmap::fromImage(image_));
      label->setAlignment(Qt::AlignCenter);
      auto* scroll = new QScrollArea;
      scroll->setWidget(label);
      scroll->setWidgetResizable(true);
      tabs_->addTab(scroll, tr("Image"));
    }
    auto* hex = new QPlainTextEdit;
    hex->setReadOnly(true);
    hex->setFont(fixed);
    hex->setLineWrapMode(QPlainTextEdit::NoWrap);
    hex->setPlainText(HexDump(cell_.value.bytes, kHexLimit));
    tabs_->addTab(hex, tr("Hex (%1 bytes)").arg(cell_.value.bytes.size()));
  } else {
    auto* text = new QPlainTextEdit;
    text->setReadOnly(true);
    text->setPlainText(QString::fromStdString(cell_.value.IsNull() ? std::string() : DisplayText(cell_.value)));
    tabs_->addTab(text, cell_.value.IsNull() ? tr("NULL") : tr("Text"));
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* save = buttons->addButton(tr("Save as..."), QDialogButtonBox::ActionRole);
  save->setEnabled(cell_.value.HasValue());
  connect(save, &QPushButton::clicked, this, &ValueViewer::SaveAs);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_, 1);
  layout->addWidget(buttons);
}

QByteArray ValueViewer::SavedBytes() const {
  if (cell_.value.kind == CellKind::kBytes)
    return QByteArray(reinterpret_cast<const char*>(cell_.value.bytes.data()),
                      static_cast<qsizetype>(cell_.value.bytes.size()));
  const std::string text = DisplayText(cell_.value);
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<std::string> ValueViewer::SaveTo(const std::string& path) const {
  if (auto refusal = OutputRefusal(path, files_)) return refusal;
  const QByteArray bytes = SavedBytes();
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  if (out) out.write(bytes.constData(), bytes.size());
  out.close();
  if (!out) return "Cannot write " + path + ": the file could not be written.";
  return std::nullopt;
}

void ValueViewer::SaveAs() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Save as..."), QString::fromStdString(cell_.column));
  if (path.isEmpty()) return;
  if (auto failure = SaveTo(path.toStdString()))
    QMessageBox::warning(this, QString::fromLatin1(kProductName), QString::fromStdString(*failure));
}

}  // namespace pagewright
