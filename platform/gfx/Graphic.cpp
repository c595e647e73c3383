// TGraphic's change notification, the registry of graphic classes, and TPicture.
#include <cstring>
#include <map>

#include "Graphics.h"
#include "Streams.h"

void TGraphic::SetTransparent(bool v) {
  if (v == FTransparent) return;
  FTransparent = v;
  Changed();
}

void TGraphic::Changed() {
  if (OnChange) OnChange(this);
}

// ---- registry ----

namespace {

struct TFileFormat {
  std::string Description;
  std::string ClassName;
};

// Names are compared as the platform compares identifiers: ASCII, ignoring case.
struct TGraphicRegistry {
  std::map<std::string, TGraphicFactory> Classes;
  std::map<std::string, TFileFormat> Extensions;
  std::map<std::string, std::string> ClipboardFormats;
};

TGraphicRegistry& Registry() {
  static TGraphicRegistry registry;
  return registry;
}

std::string ExtensionKey(const std::string& extension) {
  return LowerCase(!extension.empty() && extension[0] == '.' ? extension.substr(1) : extension);
}

}  // namespace

void RegisterGraphicClass(const std::string& className, TGraphicFactory factory) {
  Registry().Classes[LowerCase(className)] = std::move(factory);
}

void RegisterFileFormat(const std::string& extension, const std::string& description, const std::string& className) {
  Registry().Extensions[ExtensionKey(extension)] = TFileFormat{description, className};
}

void RegisterClipboardFormat(const std::string& formatName, const std::string& className) {
  Registry().ClipboardFormats[LowerCase(formatName)] = className;
}

std::unique_ptr<TGraphic> CreateGraphicByClassName(const std::string& className) {
  const auto& classes = Registry().Classes;
  auto it = classes.find(LowerCase(className));
  if (it == classes.end() || !it->second) return nullptr;
  return it->second();
}

std::string FileFormatDescription(const std::string& extension) {
  const auto& formats = Registry().Extensions;
  auto it = formats.find(ExtensionKey(extension));
  return it == formats.end() ? std::string() : it->second.Description;
}

std::string FileFormatClassName(const std::string& extension) {
  const auto& formats = Registry().Extensions;
  auto it = formats.find(ExtensionKey(extension));
  return it == formats.end() ? std::string() : it->second.ClassName;
}

std::string ClipboardFormatClassName(const std::string& formatName) {
  const auto& formats = Registry().ClipboardFormats;
  auto it = formats.find(LowerCase(formatName));
  return it == formats.end() ? std::string() : it->second;
}

// ---- picture ----

void TPicture::SetGraphic(std::unique_ptr<TGraphic> g) {
  FGraphic = std::move(g);
  if (FGraphic) FGraphic->OnChange = [this](TObject*) { GraphicChanged(); };
  GraphicChanged();
}

void TPicture::GraphicChanged() {
  if (OnChange) OnChange(this);
}

void TPicture::LoadStored(const std::string& className, const std::string& bytes) {
  std::unique_ptr<TGraphic> g = CreateGraphicByClassName(className);
  if (!g) throw EInvalidGraphic(Format("Unknown picture class %s", className.c_str()));
  if (bytes.size() < 4) throw EReadError("Stream read error");
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
  const uint32_t count = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
  if (count > bytes.size() - 4) throw EReadError("Stream read error");
  if (count > 0) {
    TMemoryStream stream(bytes.substr(4, count));
    g->LoadFromStream(stream);
  }
  SetGraphic(std::move(g));
}

void TPicture::Assign(const TPersistent* source) {
  if (source == this) return;
  if (!source) {
    SetGraphic(nullptr);
    return;
  }
  const TGraphic* from = nullptr;
  if (const auto* picture = dynamic_cast<const TPicture*>(source))
    from = picture->Graphic();
  else if (const auto* graphic = dynamic_cast<const TGraphic*>(source))
    from = graphic;
  else
    return TPersistent::Assign(source);
  if (!from) {
    SetGraphic(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy = from->CloneEmpty();
  copy->Assign(from);
  SetGraphic(std::move(copy));
}
