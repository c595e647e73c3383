// Shared vocabulary of the wizard: the seven button kinds, the one-byte set of them that pages
// carry, the wizard's exception class and the event types of pages and wizard.
#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>

#include "Classes.h"
#include "Graphics.h"

enum TUiWizardButtonKind : uint8_t { bkStart, bkLast, bkBack, bkNext, bkFinish, bkCancel, bkHelp };
constexpr int kUiWizardButtonKindCount = 7;

// A set of button kinds in one byte: bit n for the kind of ordinal n.
class TUiWizardButtonSet {
 public:
  constexpr TUiWizardButtonSet() = default;
  constexpr TUiWizardButtonSet(std::initializer_list<TUiWizardButtonKind> kinds) {
    for (TUiWizardButtonKind k : kinds) FBits = static_cast<uint8_t>(FBits | (1u << k));
  }
  static constexpr TUiWizardButtonSet FromByte(uint8_t b) {
    TUiWizardButtonSet s;
    s.FBits = b;
    return s;
  }
  constexpr uint8_t Byte() const { return FBits; }
  constexpr bool Contains(TUiWizardButtonKind k) const { return (FBits >> k) & 1u; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr TUiWizardButtonSet operator+(TUiWizardButtonKind k) const {
    return FromByte(static_cast<uint8_t>(FBits | (1u << k)));
  }
  constexpr TUiWizardButtonSet operator-(TUiWizardButtonKind k) const {
    return FromByte(static_cast<uint8_t>(FBits & ~(1u << k)));
  }
  constexpr bool operator==(const TUiWizardButtonSet&) const = default;

 private:
  uint8_t FBits = 0;
};

constexpr TUiWizardButtonSet kUiWizardAllButtons = TUiWizardButtonSet::FromByte(0x7F);
constexpr TUiWizardButtonSet kUiWizardDefaultVisibleButtons{bkBack, bkNext, bkCancel};

class EUiWizardError : public Exception {
 public:
  using Exception::Exception;
};

class TUiWizard;
class TUiWizardCustomPage;

using TUiWizardPaintPageEvent = std::function<void(TObject* sender, TCanvas& canvas, TRect& rect)>;
using TUiWizardChangePageEvent = std::function<void(TObject* sender, TUiWizardCustomPage* fromPage)>;
using TUiWizardPageClickEvent = std::function<void(TObject* sender, bool& stop)>;
using TUiWizardSelectPageEvent =
    std::function<void(TObject* sender, TUiWizardCustomPage* fromPage, TUiWizardCustomPage*& toPage)>;
using TUiWizardChangingPageEvent = std::function<void(TObject* sender, TUiWizardCustomPage*& toPage)>;
