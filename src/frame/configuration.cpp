#include "frame/configuration.h"

#include <filesystem>
#include <mutex>

#include "frame/event_log.h"
#include "frame/ini_file.h"
#include "frame/program_folder.h"

namespace {
constexpr const char *ServerSection = "CORVANEL";
constexpr const char *PacsSection = "PACS";
constexpr const char *PaperSection = "PAPER";

// Reads the file a save is going to update. A missing file is an empty one;
// an existing file that cannot be read is not overwritten.
bool LoadForUpdate(IniFile &ini, const std::string &path) {
  std::error_code error;
  if (ini.Load(path) || !std::filesystem::exists(path, error))
    return true;
  WriteLog("ERROR, cannot read " + path + ", settings not saved");
  return false;
}

bool SaveUpdated(const IniFile &ini, const std::string &path) {
  if (ini.Save(path))
    return true;
  WriteLog("ERROR, cannot write " + path + ", settings not saved");
  return false;
}

// One process-wide record: readers take the current snapshot, a replacement
// swaps in a new one. Never destroyed, so workers still running at exit may go
// on reading.
template <typename Record> class ProcessRecord {
public:
  static ProcessRecord &Instance() {
    static ProcessRecord *instance = new ProcessRecord;
    return *instance;
  }
  std::shared_ptr<const Record> Current() {
    std::lock_guard lock(mutex_);
    if (!record_)
      record_ = std::make_shared<const Record>();
    return record_;
  }
  void Replace(Record record) {
    auto replacement = std::make_shared<const Record>(std::move(record));
    std::lock_guard lock(mutex_);
    record_.swap(replacement); // the old record is freed after the lock
  }

private:
  std::mutex mutex_;
  std::shared_ptr<const Record> record_;
};
} // namespace

std::string PrintConfiguration::DefaultImageDir() { return ProgramFolder() + "imagebox/"; }

std::string ConfigurationPath() { return ProgramFolder() + "corvanel.ini"; }

void LoadConfiguration(PrintConfiguration &config, const std::string &path) {
  IniFile ini;
  ini.Load(path);
  const PrintConfiguration defaults;
  config.Port = ini.ReadString(ServerSection, "Port", defaults.Port);
  config.AETIndex = ini.ReadInteger(ServerSection, "AETIndex", defaults.AETIndex);
  config.LogLevel = ini.ReadInteger(ServerSection, "LogLevel", defaults.LogLevel);
  config.Calibration = ini.ReadBool(ServerSection, "Calibration", defaults.Calibration);
  config.PresentationLUT = ini.ReadBool(ServerSection, "PresentationLUT", defaults.PresentationLUT);
  config.ScaleBar = ini.ReadBool(ServerSection, "ScaleBar", defaults.ScaleBar);
  config.EnableHeaders = ini.ReadBool(ServerSection, "EnableHeaders", defaults.EnableHeaders);
  config.Header = ini.ReadString(ServerSection, "Header", defaults.Header);
  config.Footer = ini.ReadString(ServerSection, "Footer", defaults.Footer);
  config.HeaderPos = ini.ReadInteger(ServerSection, "HeaderPos", defaults.HeaderPos);
  config.FooterPos = ini.ReadInteger(ServerSection, "FooterPos", defaults.FooterPos);
  config.ImageDir = ini.ReadString(ServerSection, "ImageDir", defaults.ImageDir);
  if (config.ImageDir.empty())
    config.ImageDir = PrintConfiguration::DefaultImageDir();
  config.EnableSetup = ini.ReadBool(ServerSection, "EnableSetup", defaults.EnableSetup);

  config.PacsAET = ini.ReadString(PacsSection, "AET", defaults.PacsAET);
  config.PacsIP = ini.ReadString(PacsSection, "IP", defaults.PacsIP);
  config.PacsPort = ini.ReadString(PacsSection, "PORT", defaults.PacsPort);
  config.PacsFormat = ini.ReadInteger(PacsSection, "Format", defaults.PacsFormat);
}

bool SaveConfiguration(const PrintConfiguration &config, const std::string &path) {
  IniFile ini;
  if (!LoadForUpdate(ini, path))
    return false;
  ini.WriteString(ServerSection, "Port", config.Port);
  ini.WriteInteger(ServerSection, "AETIndex", config.AETIndex);
  ini.WriteInteger(ServerSection, "LogLevel", config.LogLevel);
  ini.WriteBool(ServerSection, "Calibration", config.Calibration);
  ini.WriteBool(ServerSection, "PresentationLUT", config.PresentationLUT);
  ini.WriteBool(ServerSection, "ScaleBar", config.ScaleBar);
  ini.WriteBool(ServerSection, "EnableHeaders", config.EnableHeaders);
  ini.WriteString(ServerSection, "Header", config.Header);
  ini.WriteString(ServerSection, "Footer", config.Footer);
  ini.WriteInteger(ServerSection, "HeaderPos", config.HeaderPos);
  ini.WriteInteger(ServerSection, "FooterPos", config.FooterPos);
  ini.WriteString(ServerSection, "ImageDir", config.ImageDir);
  // EnableSetup is the administrator's: set by hand, never written here.

  ini.WriteString(PacsSection, "AET", config.PacsAET);
  ini.WriteString(PacsSection, "IP", config.PacsIP);
  ini.WriteString(PacsSection, "PORT", config.PacsPort);
  ini.WriteInteger(PacsSection, "Format", config.PacsFormat);
  return SaveUpdated(ini, path);
}

int EffectiveLogLevel(int32_t configured) {
  return configured >= 0 && configured <= 2 ? configured : -1;
}

const std::array<const char *, 9> PaperChoiceNames = {"A4", "LETTER", "A3",  "TABLOID", "LEGAL",
                                                      "A5", "A6",     "A3+", "DEFINED"};

int32_t PaperCodeForChoice(int32_t choice) {
  static constexpr std::array<int32_t, 9> codes = {9, 1, 8, 3, 5, 11, 70, 63, 215};
  return choice >= 0 && choice < static_cast<int32_t>(codes.size()) ? codes[choice] : 0;
}

void Film2paper::Load(const std::string &path) {
  IniFile ini;
  ini.Load(path);
  const Film2paper defaults;
  Film14x17 = ini.ReadInteger(PaperSection, "14INX17IN", defaults.Film14x17);
  Film14x14 = ini.ReadInteger(PaperSection, "14INX14IN", defaults.Film14x14);
  Film11x14 = ini.ReadInteger(PaperSection, "11INX14IN", defaults.Film11x14);
  Film10x12 = ini.ReadInteger(PaperSection, "10INX12IN", defaults.Film10x12);
  Film8x10 = ini.ReadInteger(PaperSection, "8INX11IN", defaults.Film8x10);
  Default = ini.ReadInteger(PaperSection, "DEFAULT", defaults.Default);
  DefWidth = ini.ReadInteger(PaperSection, "DefWidth", defaults.DefWidth);
  DefHeight = ini.ReadInteger(PaperSection, "DefHeight", defaults.DefHeight);
}

bool Film2paper::Save(const std::string &path) const {
  IniFile ini;
  if (!LoadForUpdate(ini, path))
    return false;
  ini.WriteInteger(PaperSection, "14INX17IN", Film14x17);
  ini.WriteInteger(PaperSection, "14INX14IN", Film14x14);
  ini.WriteInteger(PaperSection, "11INX14IN", Film11x14);
  ini.WriteInteger(PaperSection, "10INX12IN", Film10x12);
  ini.WriteInteger(PaperSection, "8INX11IN", Film8x10);
  ini.WriteInteger(PaperSection, "DEFAULT", Default);
  ini.WriteInteger(PaperSection, "DefWidth", DefWidth);
  ini.WriteInteger(PaperSection, "DefHeight", DefHeight);
  return SaveUpdated(ini, path);
}

int32_t PaperForFilmSize(const Film2paper &table, std::string_view filmSizeId) {
  int32_t choice = table.Default;
  if (filmSizeId == "14INX17IN")
    choice = table.Film14x17;
  else if (filmSizeId == "14INX14IN")
    choice = table.Film14x14;
  else if (filmSizeId == "11INX14IN")
    choice = table.Film11x14;
  else if (filmSizeId == "10INX12IN")
    choice = table.Film10x12;
  else if (filmSizeId == "8INX10IN")
    choice = table.Film8x10;
  else if (filmSizeId == "A3")
    choice = PaperA3;
  else if (filmSizeId == "A4")
    choice = PaperA4;
  return PaperCodeForChoice(choice);
}

int32_t PaperForFilmSize(std::string_view filmSizeId) {
  return PaperForFilmSize(*CurrentFilm2paper(), filmSizeId);
}

std::shared_ptr<const PrintConfiguration> CurrentConfiguration() {
  return ProcessRecord<PrintConfiguration>::Instance().Current();
}

void ReplaceConfiguration(PrintConfiguration config) {
  ProcessRecord<PrintConfiguration>::Instance().Replace(std::move(config));
}

std::shared_ptr<const Film2paper> CurrentFilm2paper() {
  return ProcessRecord<Film2paper>::Instance().Current();
}

void ReplaceFilm2paper(Film2paper table) {
  ProcessRecord<Film2paper>::Instance().Replace(std::move(table));
}
