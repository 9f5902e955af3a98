// Every command of the main window as data: its identifier, label, tool
// tip, key tip, and where the command strip shows it (tab and group, or
// the menu of another command). The frame builds its strip, its quick-access
// bar and its shortcuts by walking this table.
#pragma once

#include <cstddef>

namespace CommandId {
enum : int {
    LookBlue = 211, LookBlack = 212, LookSilver = 213, LookAqua = 214, LookWindows7 = 215,
    Options = 220,
    Up = 1053, Back = 1054, Forward = 1055, Undo = 1056, Redo = 1057,
    SaveAs = 1058, SaveAll = 1059, Save = 1060,
    SelectAll = 1061, DeselectAll = 1062, InvertSelection = 1063,
    AllGeotagged = 1064, AllNonGeotagged = 1065, AllPictures = 1066,
    Filter = 1068, ShowJpeg = 1069, ShowTiff = 1070, ShowJpegAndTiff = 1071, ShowAll = 1072,
    DisplayOptions = 1073, ShowTabsOnly = 1074, ShowTabsAndCommands = 1075,
    ExplorerView = 1076, CommandBar = 1079, OrganizeMenu = 1080, ViewMenu = 1081, FileSystemPane = 1082,
    FolderChanged = 1083, LoadFolder = 1099,
    ContextSaveAs = 1105, ClearField = 1106, ExportAll = 1107, ExportSelected = 1108, MetadataView = 1109,
    GeocodeSelected = 1110, GeocodeAll = 1111,
    StatusExplorerView = 1113, StatusMetadataView = 1115,
    MetadataCategory = 1118,
    ClearSelectedRecords = 1120, ClearAllRecords = 1121,
    ClearDateTaken = 1122, ClearLatitude = 1123, ClearLongitude = 1124, ClearAltitude = 1125,
    ClearImageDirection = 1126, ClearMeasurementPrecision = 1127, ClearMapDatum = 1128, ClearGpsDate = 1129,
    ClearGpsTime = 1130, ClearLocation = 1131, ClearCity = 1132, ClearState = 1133, ClearCountry = 1134,
    StampGps = 1137, StampTitle = 1138, StampAddress = 1139,
    Map = 1150, ShowTrack = 1151, ClearTracks = 1152,
    GeotagFromTrack = 1140, ExportGpx = 1141,
    About = 57664, Exit = 57665, StatusBar = 59393,
};
}

// Where a command sits.
enum class CommandPlace { Home, View, MetadataView, Menu, Application, Hidden };

struct CommandInfo {
    int Id;
    const char* Label;
    const char* Tip;      // one sentence, shown as the tool tip and in the status bar
    const char* KeyTip;   // typed after the tab's key tip with Alt held ("Alt+H, A")
    CommandPlace Place;
    const char* Group;    // the group on its tab; for Menu, unused
    int Parent;           // for Menu: the command whose menu holds it
    bool Checkable;
};

const CommandInfo* CommandTable(std::size_t& count);
const CommandInfo* FindCommand(int id);
// The key tip of a tab ("H", "W", "M").
const char* TabKeyTip(CommandPlace place);
