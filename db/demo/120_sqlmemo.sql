-- The demo's own tables join the catalogue; the SQL module gets a menu row.
SELECT tablefieldinfo__refresh();
INSERT INTO mainmenu (mm_id, mm_parent, mm_order, mm_caption, mm_formclassname, mm_library, mm_proc)
VALUES (120, 1, 90, 'Standard-SQL', 'TFormStandardSql', 'StandardSql.M', 'STANDARDSQL');
