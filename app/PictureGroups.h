#pragma once
// Get Groups: the server's group list, cut down to the picture groups, becomes the group-list
// file "Vexil.Dat" and the client's group list.

#include <string>
#include <vector>

namespace vexil {

class TmsNNTP;

// Keeps, in order, the lines whose text holds "picture" and not "child" (letter case aside),
// each cut to its group name: the text before the first space, or the whole line when it has
// no space (a file of bare names).
std::vector<std::string> FilterPictureGroups(const std::vector<std::string> &Lines);

// Fetches the server's list (LIST), keeps the picture groups, writes them to DataFile, one a
// line, and loads the client's group list from it. DataFile is replaced only once the whole
// list has arrived and been written, so a failure leaves the earlier file as it was.
// Returns the names written.
std::vector<std::string> RetrievePictureGroups(TmsNNTP &Client, const std::string &DataFile);

// The lines of a text file, without their line breaks (CR LF or LF). Throws EFOpenError.
std::vector<std::string> ReadTextLines(const std::string &FileName);

} // namespace vexil
