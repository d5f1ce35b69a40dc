// The two pages the link texts open. example.org is a reserved domain: these
// are placeholders until the maker's own pages exist.
#pragma once

#define DONATION_PAGE_ADDRESS "https://www.example.org/donate"
#define WEB_SITE_ADDRESS "https://www.example.org/"
#define SITE_LINK_TEXT "www.example.org"
