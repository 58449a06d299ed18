// The plug-in's message texts and captions, exactly as the user sees them.
#pragma once

// Command dispatch
inline constexpr char kNoAreaText[] =
    "Please select the area (with the mass mover tool) where you want do the search before selecting the "
    "plug-in. You can use partial measures if needed.";
inline constexpr char kNoAreaCaption[] = "Orvo Search/Replace - No area selected";
inline constexpr char kCountFormat[] = "%d replacemen%s %s made.";
inline constexpr char kCountCaption[] = "Orvo Search/Replace Info";
inline constexpr char kMissingServiceFormat[] =
    "This host program does not provide the services Orvo Search/Replace needs (%s is missing), so the command "
    "cannot run.";
inline constexpr char kMissingServiceCaption[] = "Orvo Search/Replace - Host not supported";

// Text setup dialog
inline constexpr char kNoElementsText[] = "At least one search element must be selected.";
inline constexpr char kNoElementsCaption[] = "No search elements";
inline constexpr char kEmptySearchText[] = "You must enter a search string before starting a search.";
inline constexpr char kEmptySearchCaption[] = "Empty search string error";
inline constexpr char kLyricsWarningText[] =
    "The search and replace string have different lengths. This may distort the assigned lyrics. Continue "
    "anyway?";
inline constexpr char kLyricsWarningCaption[] = "Lyrics Replacement Warning";

// Results dialog
inline constexpr char kMatchHeading[] = "Match was found in";
inline constexpr char kPositionFormat[] = "at position %d";
inline constexpr char kReplaceQuestion[] = "Replace?";
inline constexpr char kSummaryHeading[] = "Search result:";
inline constexpr char kFoundFormat[] = "%d instance(s) found";
inline constexpr char kReplacedFormat[] = "%d instance(s) replaced";

// Location lines of the results dialog, by kind of text
inline constexpr char kPageTextFormat[] = "page text block #%d";
inline constexpr char kAllPagesSuffix[] = " [All pages]";
inline constexpr char kOnPageFormat[] = " on page %d";
inline constexpr char kMeasureTextFormat[] = "measure text block #%d in measure %d, staff %d";
inline constexpr char kExpressionFormat[] = "text expression entry #%d";
inline constexpr char kFullName[] = "full";
inline constexpr char kAbbreviatedName[] = "abbreviated";
inline constexpr char kStaffNameFormat[] = "%s staff name #%d";
inline constexpr char kGroupNameFormat[] = "%s group name #%d in %s";
inline constexpr char kGlobalStaffSet[] = "the global staff set";
inline constexpr char kStaffSystemFormat[] = "staff system %d";
inline constexpr char kTextRepeatFormat[] = "text repeat entry #%d";
inline constexpr char kEndingFormat[] = "ending repeat in measure #%d";
inline constexpr char kVerseFormat[] = "verse lyrics #%d";
inline constexpr char kChorusFormat[] = "chorus lyrics #%d";
inline constexpr char kSectionFormat[] = "section lyrics #%d";

// Criteria dialog
inline constexpr char kSearchPageCaption[] = "Search for...";
inline constexpr char kReplacePageCaption[] = "Replace with...";
inline constexpr char kRangeErrorCaption[] = "Range Error";
inline constexpr char kDurationRangeText[] = "The duration value is out of range.";
inline constexpr char kPositionRangeText[] = "The position value is out of range.";
inline constexpr char kDisplacementRangeText[] = "The displacement value is out of range.";
inline constexpr char kRaiseLowerRangeText[] = "The raise/lower value is out of range.";
inline constexpr char kNoEntriesCaption[] = "No Entries";
inline constexpr char kNoSearchCriteriaText[] = "No search criterias have been filled in.";
inline constexpr char kNoReplaceActionsText[] = "No replace actions are made.";
inline constexpr char kDangerousText[] =
    "You have selected replacement options that are considered 'dangerous' to change. DON'T continue if you "
    "are uncertain of the effect when using these options. Proceed anyway?";
inline constexpr char kDangerousCaption[] = "Are you sure?";
