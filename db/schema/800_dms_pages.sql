-- Pages of stored TIFF files and their annotation data.
--
-- dms_file_pages records, when a TIFF file is written, where each page's directory starts in it:
-- the page count and one page are then read without walking the file's directory chain. A row
-- that disagrees with the file is rebuilt by the reader.
CREATE TABLE dms_file_pages (
    name        text PRIMARY KEY REFERENCES dms_file (name) ON UPDATE CASCADE ON DELETE CASCADE,
    dir_offsets bigint[] NOT NULL
);

-- One annotation document (XML) per stored file and page; a page without one has no row.
CREATE TABLE dms_annotation (
    name       text NOT NULL REFERENCES dms_file (name) ON UPDATE CASCADE ON DELETE CASCADE,
    page       integer NOT NULL CHECK (page >= 0),
    data       bytea NOT NULL,
    changed_by text NOT NULL DEFAULT coalesce(nullif(current_setting('korvex.login', true), ''),
                                              current_user::text),
    changed_at timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (name, page)
);
