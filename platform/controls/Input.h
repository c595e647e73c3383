// Posting user input to a form, as the display backends do and as tests drive the GUI: clicks
// at form coordinates, key presses with a shift state, typed text (Windows-1252). The input is
// handled when the form's messages are dispatched (ProcessMessages or a waiting loop).
#pragma once
#include <string>

#include "Form.h"

void PostMouseDown(TCustomForm& form, int32_t x, int32_t y, TShiftState shift = 0);
void PostMouseUp(TCustomForm& form, int32_t x, int32_t y, TShiftState shift = 0);
void PostClick(TCustomForm& form, int32_t x, int32_t y);
// Clicks the centre of a control.
void PostClick(TControl& control);
void PostKey(TCustomForm& form, uint16_t vk, TShiftState shift = 0);
void PostChar(TCustomForm& form, char c, TShiftState shift = 0);
void PostText(TCustomForm& form, const std::string& text);
// Alt with a letter, as accelerators are pressed.
void PostAltChar(TCustomForm& form, char c);
