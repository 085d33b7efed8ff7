#include "settings/TProject.h"

namespace {

constexpr const char* kEml = "EML";
constexpr const char* kCsv = "CSV";

using TKeep = TProjectKey::TOutOfRange;
using TWrite = TProjectKey::TWrite;

// MAILTYPE keeps an unknown type so that the Convert checks name it.
const TProjectKey kKeys[] = {
    {kEml, "MAILTYPE", &TProject::mailType, 0, 9, TKeep::Kept},
    {kEml, "DIRECTORY", &TProject::location},
    {kEml, "HTMLTEXT", &TProject::htmlText, 0, 1, TKeep::Initial, TWrite::OnceUsed},
    {kEml, "IMAPCAFILE", &TProject::imapCaFile, 0, 0, TKeep::Initial, TWrite::OnceUsed},
    {kCsv, "MAKEBACKUP", &TProject::makeBackup},
    {kCsv, "SAVEFILENAME", &TProject::saveFileName},
    {kCsv, "SAVETYPE", &TProject::saveType, 0, 1},
    {kCsv, "ONLYNEW", &TProject::onlyNew, 0, 1, TKeep::Initial, TWrite::OnceUsed},
};

}  // namespace

std::span<const TProjectKey> TProject::Keys() {
    return kKeys;
}

TCSVSaveParam TProject::CsvSaveParam() const {
    TCSVSaveParam save;
    save.SetMakeBackup(makeBackup);
    save.SetSaveFileName(saveFileName);
    save.SetSaveType(static_cast<std::uint8_t>(saveType));
    save.SetOnlyNew(onlyNew);
    return save;
}

void TProject::SetCsvSaveParam(const TCSVSaveParam& save) {
    makeBackup = save.GetMakeBackup();
    saveFileName = save.GetSaveFileName();
    saveType = save.GetSaveType();
    onlyNew = save.GetOnlyNew();
}
