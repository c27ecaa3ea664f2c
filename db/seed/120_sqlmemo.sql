-- Lookups of the SQL editor's insertions, and the catalogue as the schema stands.
INSERT INTO f2poss (modulname, feldname, f2_query) VALUES
    ('TVoskSQLMemo', 'LangText', 'SELECT t_nr, t_feld0 FROM text0 WHERE NOT t_deleted ORDER BY t_nr'),
    ('TVoskSQLMemo', 'TableField', 'SELECT field, tablename FROM tablefieldinfo WHERE field <> '''' ORDER BY tablename, field');
SELECT tablefieldinfo__refresh();
