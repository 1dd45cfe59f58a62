// The application's settings: section [iSysVal] of corvane.ini, read once at
// start and written once at exit. The fields are named after their keys and
// are changed in memory only; SaveSettings is the one writer.
#pragma once

#include "platform/wintypes/WinTypes.h"

// The transfer modes of the SyncMode setting.
enum SyncModeValue {
    SYNC_BOTH = 0,        // Synchronize
    SYNC_PALM_TO_OE = 1,  // Palm Desktop to Outlook Express
    SYNC_OE_TO_PALM = 2,  // Outlook Express to Palm Desktop
};

struct SysSettings {
    char WabFile[MAX_PATH];  // address-book file; "" is the default book
    char DatFile[MAX_PATH];  // Palm Desktop contacts data file
    // The length of a WabFile or DatFile of the settings file that did not
    // fit its field (0: none). Such a path is refused, never cut: the field
    // stays empty, and a save keeps the file's own value while it does.
    int nWabFileTooLong;
    int nDatFileTooLong;
    int SyncMode;    // a SyncModeValue (other values are kept as read)
    int UserID;      // HotSync user id; 0 is none chosen yet
    int SwapName;    // exchange first and last name on the Palm side
    int SyncCustom;  // hand the custom-field mapping to the WAB side
    int Custom[9];   // keys Custom1..Custom9: property tag or 0

    // Column flags of the two contact lists; nonzero shows the column.
    int ShowDisplayName;
    int ShowFirstName;
    int ShowLastName;
    int ShowCompany;
    int ShowTitle;
    int ShowEmail;
    int ShowHomePhone;
    int ShowBusiPhone;
    int ShowMobilePhone;
    int ShowFax;
    int ShowMainPhone;
    int ShowHomeCountry;
    int ShowHomeState;
    int ShowHomeCity;
    int ShowHomeStreet;
    int ShowHomePostal;
    int ShowBusiCountry;
    int ShowBusiState;
    int ShowBusiCity;
    int ShowBusiStreet;
    int ShowBusiPostal;
    int ShowOtherCountry;
    int ShowOtherState;
    int ShowOtherCity;
    int ShowOtherStreet;
    int ShowOtherPostal;

    int EmailOnly;  // list only contacts with an e-mail address
    int SameColor;  // row colours, 0x00BBGGRR
    int ModifiedColor;
    int NewColor;
    bool DisableColor;  // draw rows without state colours

    // Number of keys of section [iSysVal].
    static constexpr int kKeyCount = 46;

    // Clears the block, then reads every key from the settings file that
    // GetIniFilePath names (or from pszIniPath), a missing key giving its
    // default. Returns false only when no settings path could be formed; the
    // block then holds the defaults.
    bool LoadSettings();
    bool LoadSettings(const char* pszIniPath);

    // Writes all 46 keys, in their fixed order, to the settings file with one
    // atomic replace; other sections and keys of the file are kept. On
    // failure the file is unchanged, a level-0 line goes to the diagnostic
    // log, and the result is false.
    bool SaveSettings() const;
    bool SaveSettings(const char* pszIniPath) const;
};
