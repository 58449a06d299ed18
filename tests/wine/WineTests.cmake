# Wine tests (filled in below)
