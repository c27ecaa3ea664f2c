-- Stamp rights: which user may place a stamp (action 2) or change and remove stamp annotations
-- (action 3), per stamp name (the stamp document's pd_path) and, where set, per document type.
-- Without a row an action is allowed; administrators may everything.
CREATE TABLE doksealrights (
    dsr_id      serial PRIMARY KEY,
    dsr_seal    text NOT NULL,
    dsr_dt_id   text,                       -- NULL: every document type
    dsr_mitnr   integer NOT NULL DEFAULT 0, -- 0: everyone
    dsr_action  integer NOT NULL,
    dsr_allowed boolean NOT NULL DEFAULT false
);
CREATE INDEX doksealrights_user ON doksealrights (dsr_mitnr);
