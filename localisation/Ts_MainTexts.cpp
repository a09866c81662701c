// Ts_MainTexts: the design-time texts of the main window's message table Ts_Main, in order.
#include "localisation/Ts_MainTexts.h"

const std::vector<std::string>& Ts_MainTexts() {
    // Spelling and punctuation are keys shared with every existing translation: keep them as
    // they are, including "Convertion" and the blanks before "?".
    static const std::vector<std::string> texts = {
        "Invalid file type",
        "AVI Files",
        "Key",
        "Begin/End",
        "x50",
        "Brennax is required to burn CDs or DVDs. Do you want to download it now ?",
        "Convertion to DVD requires a third party product from XOL Software. Do you want to "
        "download it now ?",
        "File name must be different",
        "File already exists. Overwrite ?",
        "File is too big. Maximum file size is 2 Gb",
        "File Info",
        "File Name :",
        "File Size :",
        "Video",
        "Resolution :",
        "# of frames :",
        "Bitrate :",
        "FourCC :",
        "FPS :",
        "Audio",
        "Channels :",
        "SampleRate :",
        "Code :",
        "No Audio",
        "Audio track is present but not readable",
        "A new version of Clipvane is available. Do you want to download update now ?",
        "Clipvane is already up to date.",
        "Unable to open file",
        "Open with Clipvane",
        "Message",
        "Warning",
        "Error",
        "Question",
        "Information",
        "Frame/sec",
        "MP3 Files",
        "Bitmap Files",
        "JPEG Files",
        // Added later, always at the end, so that older language files still line up.
        "Operation failed: %s",
        "Brennax is not installed. Do you want to burn the file with %s ?",
        "Quillet is not installed. Do you want to inspect the file with %s ?",
        "The language file %s cannot be used and is left out: %s",
        "Clipvane cannot save its settings, so this change will not be remembered: %s",
        "Yes",
        "No",
        "OK",
        "Cancel",
        "The cut starts at frame %s, the key frame %s frames before the mark.",
    };
    return texts;
}
