#pragma once
// The help topic numbers: the only place they are written. The numbers are
// the pages' addresses (gui/help/pages/topic<N>.html), so a number never
// changes once a page has it. Unscoped inside the class so a topic passes
// wherever the help and message services take an int; 0 means no topic.

class THelpTopic {
  public:
    enum TNumber : int {
        Contents = 1,
        MailType = 31,
        // The location box and location checks of each kind of store.
        MailFolder = 8,
        DbxFile = 21,
        MboxFile = 34,
        ShurikenFile = 57,
        EudoraFile = 46,
        TextFolder = 168,
        MaildirFolder = 180,
        MhFolder = 181,
        ThunderbirdFolder = 182,
        ImapServer = 183,  // also the connection and password dialogs
        // The parameter grid, the parameter dialog and "no parameters".
        Parameters = 10,
        EmptyColumn = 135,
        RegexAndAddress = 169,
        ParamOrder = 61,
        ConvertResult = 15,
        SaveCsv = 25,
        MakeBatch = 48,
        AutoRun = 52,
        CommonSetting = 72,
        ProjectSetting = 139,
        ClearSetting = 150,
    };
};
