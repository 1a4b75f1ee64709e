#pragma once
// The settings of "corvanel.ini": the sections CORVANEL and PACS in
// PrintConfiguration, the film-size-to-paper table of PAPER in Film2paper.
// Both records are read once at start-up and replaced as a whole by the setup
// dialog. Association workers take a snapshot (CurrentConfiguration(),
// CurrentFilm2paper()) and keep it for the request they handle.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct PrintConfiguration {
  // CORVANEL
  std::string Port = "104";
  int32_t AETIndex = 0; // default rule; negative: no default rule
  int32_t LogLevel = 0; // 0, 1 or 2; other values filter like 0
  bool Calibration = false;
  bool PresentationLUT = false;
  bool ScaleBar = false;
  bool EnableHeaders = false;
  std::string Header = "Veltrano DICOM Print Server";
  std::string Footer = "Not for Diagnostic Use";
  int32_t HeaderPos = 1; // 0 LEFT, 1 CENTER, 2 RIGHT
  int32_t FooterPos = 1;
  std::string ImageDir = DefaultImageDir(); // never empty after LoadConfiguration
  bool EnableSetup = true;                  // read only; never written back
  // PACS
  std::string PacsAET = "VELTRANOPACS";
  std::string PacsIP = "localhost";
  std::string PacsPort = "11112";
  int32_t PacsFormat = 0; // 0 PDF, 1 JPEG

  // Program folder + "imagebox/".
  static std::string DefaultImageDir();
};

// Program folder + "corvanel.ini".
std::string ConfigurationPath();

// Reads CORVANEL and PACS from path; missing or unreadable values read as defaults.
void LoadConfiguration(PrintConfiguration &config, const std::string &path);
// Writes CORVANEL (all keys but EnableSetup) and PACS; other keys and lines of
// the file stay. False, with one log line, when the file cannot be written.
bool SaveConfiguration(const PrintConfiguration &config, const std::string &path);

// The log level that a configured LogLevel gives: 0, 1 or 2, else -1.
int EffectiveLogLevel(int32_t configured);

// Paper choices of the PAPER keys, by position.
enum PaperChoice : int32_t {
  PaperA4 = 0,
  PaperLetter = 1,
  PaperA3 = 2,
  PaperTabloid = 3,
  PaperLegal = 4,
  PaperA5 = 5,
  PaperA6 = 6,
  PaperA3Plus = 7,
  PaperDefined = 8,
};
// "A4", "LETTER", "A3", "TABLOID", "LEGAL", "A5", "A6", "A3+", "DEFINED".
extern const std::array<const char *, 9> PaperChoiceNames;
// The printer paper code of a choice (9 A4, 1 Letter, 8 A3, 3 Tabloid, 5 Legal,
// 11 A5, 70 A6, 63 A3+, 215 defined size); 0 for any other choice.
int32_t PaperCodeForChoice(int32_t choice);

struct Film2paper {
  int32_t Film14x17 = 0; // key 14INX17IN
  int32_t Film14x14 = 0; // key 14INX14IN
  int32_t Film11x14 = 0; // key 11INX14IN
  int32_t Film10x12 = 0; // key 10INX12IN
  int32_t Film8x10 = 0;  // key 8INX11IN, serves the film size "8INX10IN"
  int32_t Default = 0;   // key DEFAULT, every other film size
  int32_t DefWidth = 0;  // millimetres of the DEFINED paper
  int32_t DefHeight = 0;

  // Reads / writes the section PAPER.
  void Load(const std::string &path);
  bool Save(const std::string &path) const;
};

// The paper code for a Film Size ID (2010,0050), compared exactly.
int32_t PaperForFilmSize(const Film2paper &table, std::string_view filmSizeId);
// The same with the current table.
int32_t PaperForFilmSize(std::string_view filmSizeId);

// The process-wide records. A snapshot stays valid and unchanged while it is held.
std::shared_ptr<const PrintConfiguration> CurrentConfiguration();
void ReplaceConfiguration(PrintConfiguration config);
std::shared_ptr<const Film2paper> CurrentFilm2paper();
void ReplaceFilm2paper(Film2paper table);
