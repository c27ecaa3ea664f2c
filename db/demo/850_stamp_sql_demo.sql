-- The stamp SQL of the viewers' demo: placing the stamp "Geprüft" or "Bezahlt" on a scan (type
-- SCAN) and saving writes a row into the demo stamp log, with the type, the stamp, the document's name (a column of
-- the document row), its keyword "kunde" and how many of its "kunde" keywords there are (a list
-- parameter); taking the stamp off removes the row again. Scans relate to each other through the
-- keyword "auftrag" (the viewers' "Dokumente-Beziehungen"); korvex-demodoc gives the demo
-- documents their keywords.
CREATE TABLE demo_stempel_log (
    id            serial PRIMARY KEY,
    dokutyp       text,
    stempel       text,
    dokument      text,
    kunde         text,
    kunden_anzahl integer,
    gestempelt    timestamptz NOT NULL DEFAULT now()
);

INSERT INTO doksealsql (dss_dt_id, dss_pd_id, dss_insertsql, dss_deletesql, dss_bez)
SELECT 'SCAN', pd_id,
       'INSERT INTO demo_stempel_log (dokutyp, stempel, dokument, kunde, kunden_anzahl) '
       'VALUES (:dm_doktype, :dm_dokseal, :pd_descr, :kunde, '
       '(SELECT count(DISTINCT r_descr) FROM recnokeyword WHERE r_kategorie = ''kunde'' '
       'AND r_descr IN :kunde__InList))',
       'DELETE FROM demo_stempel_log WHERE stempel = :dm_dokseal AND dokument = :pd_descr',
       'Stempelprotokoll'
FROM picndoku WHERE pd_tablename = 'dokseals' AND pd_dbrid = 0 AND pd_path IN ('Geprüft', 'Bezahlt');

UPDATE dokutypes SET dt_relateddokkeyword = 'auftrag' WHERE dt_id = 'SCAN';
