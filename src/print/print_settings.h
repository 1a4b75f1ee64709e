#pragma once
// The print settings that a film session gets from its printing rule and the
// configuration, and hands on to each of its film boxes for composition and output.
#include <cstdint>
#include <string>

struct PrintSettings {
  int32_t PaperChoice = 0;
  bool TrueSizePrint = false;
  int32_t GammaIndex = 9;
  int32_t ContrastIndex = 10;
  int32_t SaturationIndex = 10;
  int32_t FilterIndex = 0;
  int32_t ColorPrinting = 0;
  int32_t BorderColor = 0;
  int32_t EmptyImageColor = 0;
  bool ScaleBar = false;
  std::string Header;
  std::string Footer;
  int32_t HeaderPos = 0;
  int32_t FooterPos = 0;
};
