#pragma once
// The web server's page generation and form handling. A page is made from its template ("pre" +
// page name) by replacing every value field "$%OID,TYPE#$" (TYPE INT, IP, STR or OCT, letters in
// either case; sub-identifiers separated by "," or ".") with the object's current value, and
// written as the page file. A posted multipart form names the objects to write in its field
// names "$*OID,TYPE,LETTERS#$" (TYPE int, str or oct; "n" asks for change notification, "v" for
// validation).

#include <cstddef>
#include <cstdint>

#include "database/file_system_driver.h"

inline constexpr uint32_t kHttpPageRoom = 262144;
inline constexpr uint32_t kHttpFieldOidRoom = 160;
inline constexpr uint32_t kHttpFieldValueRoom = 2000;
inline constexpr uint32_t kHttpPostContentRoom = 1800;

// Expands the value fields of a template into out, which never takes more than room bytes (the
// page stops at the last whole piece that fits). The length written in *used.
void HttpExpandTemplate(const char* text, uint32_t length, char* out, uint32_t room,
                        uint32_t* used);

// A GET: regenerates the page of the resource ("/" is "/index.html") from its template, or
// restores the style sheet or list. The file to serve into page (room bytes); false when no
// page could be made (the server then serves whatever file exists).
bool HttpGetResource(FsMedia* media, CFileSystem_Driver* driver, const char* resource, char* page,
                     size_t room);

// Writes every form field of a multipart body to its object.
void HttpProcessFormFields(const char* content, uint32_t length);

// A POST: the form fields written (at most kHttpPostContentRoom bytes of content are read),
// then the page regenerated as for a GET.
bool HttpPostResource(FsMedia* media, CFileSystem_Driver* driver, const char* resource,
                      const char* content, uint32_t length, char* page, size_t room);

// Puts the stored CRC of the message a 12-octet activation code names into its octets 6-7.
void HttpFillActivationCrc(uint8_t* code, uint32_t* length);

// Called after a form wrote a message status (display control processes the message table).
void HttpSetMessageTableHook(void (*hook)());
