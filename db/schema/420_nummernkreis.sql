-- Number ranges: each module draws its document numbers from one or more ranges. nc_num is the
-- last number drawn; a number is nc_prefix followed by the counter, padded with zeros to
-- nc_digits. Drawing and handing back happen in one statement each, so concurrent sessions
-- serialise on the range's row and never see the same number.
CREATE TABLE nummernkreis (
    dbrid          serial PRIMARY KEY,
    nc_ident       text NOT NULL UNIQUE,
    nc_description text,
    nc_modulname   text NOT NULL,
    nc_active      boolean NOT NULL DEFAULT true,
    nc_default     boolean NOT NULL DEFAULT false,
    nc_num         bigint NOT NULL DEFAULT 0 CHECK (nc_num >= 0),
    nc_prefix      text NOT NULL DEFAULT '',
    nc_digits      integer NOT NULL DEFAULT 0 CHECK (nc_digits BETWEEN 0 AND 18)
);
CREATE INDEX nummernkreis_modul ON nummernkreis (lower(nc_modulname));
-- One default range per module at most.
CREATE UNIQUE INDEX nummernkreis_default ON nummernkreis (lower(nc_modulname)) WHERE nc_default;
