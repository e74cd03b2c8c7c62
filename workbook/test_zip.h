// Test and benchmark helper: writes zip archives part by part with libzip,
// so tests can build .xlsx files with exactly the XML they need.
#pragma once

#include <zip.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace workbook::testing {

using Parts = std::vector<std::pair<std::string, std::string>>;

inline void WriteZip(const std::string& path, const Parts& parts) {
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!z) throw std::runtime_error("zip_open failed for " + path);
  for (const auto& [name, data] : parts) {
    zip_source_t* src = zip_source_buffer(z, data.data(), data.size(), 0);
    if (!src || zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(src);
      zip_discard(z);
      throw std::runtime_error("zip_file_add failed for " + name);
    }
  }
  if (zip_close(z) != 0) {
    zip_discard(z);
    throw std::runtime_error("zip_close failed for " + path);
  }
}

inline const std::string kSheetMime = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
inline const char* kRootRels =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";

// The parts of a minimal workbook: sheet XML bodies (the content of
// <sheetData>) by sheet name, optional shared strings (si elements) and
// styles (cellXfs/numFmts XML), and workbookPr attributes.
inline Parts MinimalXlsx(const std::vector<std::pair<std::string, std::string>>& sheets,
                         const std::string& shared_si = "", const std::string& styles = "",
                         const std::string& workbook_pr = "") {
  Parts parts{{"_rels/.rels", kRootRels}};
  std::string types =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" + kSheetMime + "sheet.main+xml\"/>";
  std::string wb =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><workbookPr " +
      workbook_pr + "/><sheets>";
  std::string rels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    std::string n = std::to_string(i + 1);
    wb += "<sheet name=\"" + sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + rel + "worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
    types += "<Override PartName=\"/xl/worksheets/sheet" + n + ".xml\" ContentType=\"" + kSheetMime + "worksheet+xml\"/>";
    parts.push_back({"xl/worksheets/sheet" + n + ".xml",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
                     "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" +
                         sheets[i].second + "</sheetData></worksheet>"});
  }
  wb += "</sheets></workbook>";
  if (!shared_si.empty()) {
    types += "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"" + kSheetMime + "sharedStrings+xml\"/>";
    rels += "<Relationship Id=\"rIdS\" Type=\"" + rel + "sharedStrings\" Target=\"sharedStrings.xml\"/>";
    parts.push_back({"xl/sharedStrings.xml",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst "
                     "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
                         shared_si + "</sst>"});
  }
  if (!styles.empty()) {
    types += "<Override PartName=\"/xl/styles.xml\" ContentType=\"" + kSheetMime + "styles+xml\"/>";
    rels += "<Relationship Id=\"rIdT\" Type=\"" + rel + "styles\" Target=\"styles.xml\"/>";
    parts.push_back({"xl/styles.xml",
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?><styleSheet "
                     "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
                         styles + "</styleSheet>"});
  }
  rels += "</Relationships>";
  types += "</Types>";
  parts.insert(parts.begin(), {"[Content_Types].xml", types});
  parts.push_back({"xl/workbook.xml", wb});
  parts.push_back({"xl/_rels/workbook.xml.rels", rels});
  return parts;
}

}  // namespace workbook::testing
