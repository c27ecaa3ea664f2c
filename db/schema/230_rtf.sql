-- Report definitions of the form designer: per report whether its script is plain SQL handed back
-- as it stands (rtf_blanksql) or a Python script that the report dialog's button bar runs.
CREATE TABLE IF NOT EXISTS rtf (
    rtf_id        integer PRIMARY KEY,
    rtf_name      text,
    rtf_blanksql  boolean NOT NULL DEFAULT false,
    rtf_script    text
);
