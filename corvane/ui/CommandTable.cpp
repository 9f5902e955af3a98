#include "CommandTable.h"

using P = CommandPlace;
using namespace CommandId;

namespace {

const CommandInfo kCommands[] = {
    // HOME
    {Up, "Up", "Goes to the folder that contains the current folder.", "U", P::Home, "Navigation", 0, false},
    {Back, "Back", "Goes back to the folder shown before the current one.", "B", P::Home, "Navigation", 0, false},
    {Forward, "Forward", "Goes forward to the folder left with Back.", "F", P::Home, "Navigation", 0, false},
    {Undo, "Undo", "Takes back the last change applied to the pictures.", "Z", P::Home, "Changes", 0, false},
    {Redo, "Redo", "Applies again the last change taken back with Undo.", "Y", P::Home, "Changes", 0, false},
    {Save, "Save", "Saves the changes applied to the selected picture.", "S", P::Home, "Changes", 0, false},
    {SaveAs, "Save As", "Saves the selected picture with its changes under a new name.", "V", P::Home, "Changes", 0,
     false},
    {SaveAll, "Save All", "Saves the changes applied to all the pictures of the folder.", "L", P::Home, "Changes", 0,
     false},
    {SelectAll, "Select All", "Selects all the items of the current folder.", "A", P::Home, "Selection", 0, false},
    {DeselectAll, "De-Select All", "Clears the selection of the current folder.", "D", P::Home, "Selection", 0, false},
    {InvertSelection, "Invert Selection", "Selects the items which are not selected and de-selects the others.", "I",
     P::Home, "Selection", 0, false},
    {AllGeotagged, "All Geotagged",
     "Selects all the pictures which have GPS coordinates (Latitude and Longitude).", "G", P::Home, "Selection", 0,
     false},
    {AllNonGeotagged, "All Non-Geotagged",
     "Selects all the pictures which lack GPS coordinates (Latitude or Longitude).", "N", P::Home, "Selection", 0,
     false},
    {AllPictures, "All Pictures", "Selects all the JPEG and TIFF pictures of the current folder.", "P", P::Home,
     "Selection", 0, false},
    {Filter, "Filter", "Chooses which items the folder view shows besides folders.", "T", P::Home, "Filter", 0, false},
    {ShowJpeg, "Show JPEG Pictures", "Shows only the JPEG pictures besides folders.", "J", P::Menu, "", Filter, true},
    {ShowTiff, "Show TIFF Pictures", "Shows only the TIFF pictures besides folders.", "K", P::Menu, "", Filter, true},
    {ShowJpegAndTiff, "Show JPEG and TIFF Pictures", "Shows the JPEG and TIFF pictures besides folders.", "O",
     P::Menu, "", Filter, true},
    {ShowAll, "Show All Contents", "Shows every item of the current folder.", "C", P::Menu, "", Filter, true},
    {StampGps, "Stamp GPS", "Stamps the GPS information on the selected pictures.", "1", P::Home, "Stamping", 0,
     false},
    {StampTitle, "Stamp Title", "Stamps a title of your own on the selected pictures.", "2", P::Home, "Stamping", 0,
     false},
    {StampAddress, "Stamp Address", "Stamps the address where the selected pictures were taken.", "3", P::Home,
     "Stamping", 0, false},
    {GeotagFromTrack, "Geotag from Track...",
     "Places the selected pictures (or all the pictures of the folder) from GPS tracks by the time they were taken.",
     "R", P::Home, "Geotagging", 0, false},
    // VIEW
    {ExplorerView, "Explorer View", "Shows the folder browser with the pictures of the current folder.", "E",
     P::View, "Views", 0, true},
    {MetadataView, "Metadata View", "Shows the GPS metadata of the pictures of the current folder as a table.", "M",
     P::View, "Views", 0, true},
    {CommandBar, "Command Bar", "Shows or hides the command bar of the folder browser.", "C", P::View, "Panes", 0,
     true},
    {OrganizeMenu, "Organize Menu", "Shows or hides the organize menu of the folder browser.", "O", P::View, "Panes",
     0, true},
    {ViewMenu, "View Menu", "Shows or hides the view menu of the folder browser.", "V", P::View, "Panes", 0, true},
    {StatusBar, "Status Bar", "Shows or hides the status bar.", "S", P::View, "Panes", 0, true},
    {FileSystemPane, "File System Pane", "Shows or hides the folder tree beside the metadata table.", "P", P::View,
     "Panes", 0, true},
    {Map, "Map", "Shows or hides the map of the pictures of the current folder.", "A", P::View, "Map", 0, true},
    {ShowTrack, "Show Track...", "Shows the tracks of a GPX file on the map.", "T", P::View, "Map", 0, false},
    {ClearTracks, "Clear Tracks", "Removes the tracks from the map.", "R", P::View, "Map", 0, false},
    // METADATA VIEW
    {GeocodeSelected, "Reverse-Geocode Selected", "Retrieves the address of the selected pictures from their GPS coordinates.",
     "S", P::MetadataView, "Reverse Geocoding", 0, false},
    {GeocodeAll, "Reverse-Geocode All", "Retrieves the address of all the pictures from their GPS coordinates.", "A",
     P::MetadataView, "Reverse Geocoding", 0, false},
    {ClearSelectedRecords, "Clear Selected Records", "Clears all the GPS metadata of the selected pictures.", "C",
     P::MetadataView, "Clear", 0, false},
    {ClearAllRecords, "Clear All Records", "Clears all the GPS metadata of all the pictures.", "R", P::MetadataView,
     "Clear", 0, false},
    {ClearField, "Clear Field", "Clears one field of the selected pictures.", "F", P::MetadataView, "Clear", 0, false},
    {1122, "Date Taken", "Clears the date taken of the selected pictures.", "D", P::Menu, "", ClearField, false},
    {1123, "Latitude", "Clears the latitude of the selected pictures.", "L", P::Menu, "", ClearField, false},
    {1124, "Longitude", "Clears the longitude of the selected pictures.", "O", P::Menu, "", ClearField, false},
    {1125, "Altitude", "Clears the altitude of the selected pictures.", "A", P::Menu, "", ClearField, false},
    {1126, "Image Direction", "Clears the camera direction of the selected pictures.", "I", P::Menu, "", ClearField,
     false},
    {1127, "Measurement Precision", "Clears the measurement precision of the selected pictures.", "M", P::Menu, "",
     ClearField, false},
    {1128, "Map Datum", "Clears the map datum of the selected pictures.", "P", P::Menu, "", ClearField, false},
    {1129, "GPS Date", "Clears the GPS date of the selected pictures.", "G", P::Menu, "", ClearField, false},
    {1130, "GPS Time", "Clears the GPS time of the selected pictures.", "T", P::Menu, "", ClearField, false},
    {1131, "Location", "Clears the location of the selected pictures.", "N", P::Menu, "", ClearField, false},
    {1132, "City", "Clears the city of the selected pictures.", "C", P::Menu, "", ClearField, false},
    {1133, "State", "Clears the state of the selected pictures.", "S", P::Menu, "", ClearField, false},
    {1134, "Country", "Clears the country of the selected pictures.", "Y", P::Menu, "", ClearField, false},
    {ExportSelected, "Export Selected", "Exports the GPS metadata of the selected pictures to a CSV file.", "E",
     P::MetadataView, "Export", 0, false},
    {ExportAll, "Export All", "Exports the GPS metadata of all the pictures to a CSV file.", "X", P::MetadataView,
     "Export", 0, false},
    {ExportGpx, "Export GPX",
     "Exports the geotagged pictures (the selected ones, or all) as GPX waypoints in the order they were taken.", "G",
     P::MetadataView, "Export", 0, false},
    // application menu and ribbon display
    {Options, "Options", "Changes the options of stamping, saving and the user interface.", "O", P::Application, "",
     0, false},
    {About, "About", "Shows the version of Corvane.", "A", P::Application, "", 0, false},
    {Exit, "Exit", "Closes Corvane.", "X", P::Application, "", 0, false},
    {ShowTabsOnly, "Show Tabs Only", "Shows only the tab names of the command strip.", "T", P::Application, "", 0,
     true},
    {ShowTabsAndCommands, "Show Tabs and Commands", "Shows the tabs and the commands of the command strip.", "C",
     P::Application, "", 0, true},
    {LookBlue, "Office 2007 (&Blue Style)", "Gives the window the blue look.", "", P::Application, "", 0, true},
    {LookBlack, "Office 2007 (B&lack Style)", "Gives the window the black look.", "", P::Application, "", 0, true},
    {LookSilver, "Office 2007 (&Silver Style)", "Gives the window the silver look.", "", P::Application, "", 0, true},
    {LookAqua, "Office 2007 (&Aqua Style)", "Gives the window the aqua look.", "", P::Application, "", 0, true},
    {LookWindows7, "Win&dows 7", "Gives the window the light look.", "", P::Application, "", 0, true},
    {StatusExplorerView, "Explorer View", "Shows the folder browser.", "", P::Hidden, "", 0, true},
    {StatusMetadataView, "Metadata View", "Shows the metadata table.", "", P::Hidden, "", 0, true},
};

}  // namespace

const CommandInfo* CommandTable(std::size_t& count)
{
    count = sizeof(kCommands) / sizeof(kCommands[0]);
    return kCommands;
}

const CommandInfo* FindCommand(int id)
{
    for (const CommandInfo& c : kCommands)
        if (c.Id == id) return &c;
    return nullptr;
}

const char* TabKeyTip(CommandPlace place)
{
    switch (place) {
    case P::Home: return "H";
    case P::View: return "W";
    case P::MetadataView: return "M";
    case P::Application: return "F";
    default: return "";
    }
}
