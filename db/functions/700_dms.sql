-- Server functions of the document management.

-- The folder tree of a table: its own, else the tree for every table (dtl_tablename null).
CREATE FUNCTION dokutrees_getid(p_table text) RETURNS integer
LANGUAGE sql STABLE AS $$
    SELECT dtl_id FROM dokutrees
     WHERE lower(dtl_tablename) = lower(p_table) OR dtl_tablename IS NULL
     ORDER BY dtl_tablename IS NULL, dtl_id
     LIMIT 1
$$;

-- The document type whose documents land in a folder; the type marked as the folder's default
-- first.
CREATE FUNCTION dokutypes__find__by__parentnode_id(p_nodeid text) RETURNS text
LANGUAGE sql STABLE AS $$
    SELECT dt_id FROM dokutypes
     WHERE lower(dt_parentnodeid) = lower(p_nodeid)
     ORDER BY dt_parentnodeid_default DESC, dt_id
     LIMIT 1
$$;

-- A text that may be a marker "xtt123": the text of that number in the session user's language,
-- else the text as it is.
CREATE FUNCTION lang_text(p_text text) RETURNS text
LANGUAGE sql STABLE AS $$
    SELECT coalesce(
        (SELECT CASE WHEN coalesce(m.m_sprache, 0) = 3 AND coalesce(t.t_feld3, '') <> ''
                     THEN t.t_feld3 ELSE t.t_feld0 END
           FROM text0 t
           LEFT JOIN mitarbeiter m ON lower(m.m_login) = lower(korvex_session_login())
          WHERE p_text ~* '^xtt[0-9]{1,9}$' AND t.t_nr = substr(p_text, 4)::integer
            AND NOT t.t_deleted),
        p_text)
$$;

-- Whether a user may do a file action on documents of a type: the user's own row, else the row
-- for everyone (mitnr 0), else allowed. Administrators may do everything; so may everyone on
-- documents without a type. The checks asked before every stored file are plpgsql: it keeps its
-- plans for the session, where a sql function with subqueries is planned again at every call.
CREATE FUNCTION dokutypes_right(p_doktype text, p_action integer, p_mitnr integer)
RETURNS boolean
LANGUAGE plpgsql STABLE AS $$
BEGIN
    RETURN coalesce(p_doktype, '') = ''
        OR coalesce((SELECT m_admin FROM mitarbeiter WHERE mitnr = p_mitnr), false)
        OR coalesce((SELECT dtr_allowed FROM dokutypes_rights
                      WHERE dtr_dt_id = p_doktype AND dtr_action = p_action
                        AND dtr_mitnr IN (0, p_mitnr)
                      ORDER BY dtr_mitnr DESC LIMIT 1), true);
END
$$;

-- The user number of the login the session announced (0 without a user row).
CREATE FUNCTION korvex_session_mitnr() RETURNS integer
LANGUAGE plpgsql STABLE AS $$
BEGIN
    RETURN coalesce((SELECT mitnr FROM mitarbeiter
                      WHERE lower(m_login) = lower(korvex_session_login())), 0);
END
$$;

-- Why something may not be done: result true means forbidden, reason says why.
CREATE TYPE dms_forbidden AS (result boolean, reason text);

-- Whether the session's user may not add a document of the type; p_archive asks for an archived
-- one, which needs the edit right as well.
CREATE FUNCTION picndoku_adding_forbidden(p_doktype text, p_archive boolean)
RETURNS dms_forbidden
LANGUAGE plpgsql STABLE AS $$
BEGIN
    IF coalesce(p_doktype, '') <> ''
       AND NOT EXISTS (SELECT 1 FROM dokutypes WHERE dt_id = p_doktype) THEN
        RETURN ROW(true, 'Unbekannter Dokumenttyp: ' || p_doktype)::dms_forbidden;
    ELSIF NOT dokutypes_right(p_doktype, 2, korvex_session_mitnr()) THEN
        RETURN ROW(true, 'Keine Berechtigung, Dokumente des Typs ' || p_doktype
                         || ' anzulegen')::dms_forbidden;
    ELSIF p_archive AND NOT dokutypes_right(p_doktype, 1, korvex_session_mitnr()) THEN
        RETURN ROW(true, 'Keine Berechtigung, Dokumente des Typs ' || p_doktype
                         || ' zu archivieren')::dms_forbidden;
    END IF;
    RETURN ROW(false, NULL)::dms_forbidden;
END
$$;

-- Whether the session's user may not change a document: it is archived, blocked, of a write-once
-- type, locked by another user, or the user lacks the edit right on its type.
CREATE FUNCTION picndoku_editing_forbidden(p_pd_id integer)
RETURNS dms_forbidden
LANGUAGE sql STABLE AS $$
    SELECT coalesce(
        (SELECT CASE
            WHEN d.pd_archive THEN ROW(true, 'Das Dokument ist archiviert')::dms_forbidden
            WHEN d.pd_edit_blocked THEN ROW(true, 'Das Dokument ist gesperrt')::dms_forbidden
            WHEN coalesce(t.dt_write_once, false)
            THEN ROW(true, 'Dokumente des Typs ' || t.dt_id
                           || ' sind unveränderlich')::dms_forbidden
            WHEN r.pdr_lock_user IS NOT NULL
                 AND lower(r.pdr_lock_user) <> lower(korvex_session_login())
            THEN ROW(true, 'Das Dokument ist von ' || r.pdr_lock_user
                           || ' gesperrt')::dms_forbidden
            WHEN NOT dokutypes_right(d.pd_doktype, 1, korvex_session_mitnr())
            THEN ROW(true, 'Keine Berechtigung, Dokumente des Typs ' || d.pd_doktype
                           || ' zu bearbeiten')::dms_forbidden
            ELSE ROW(false, NULL)::dms_forbidden
         END
           FROM picndoku d
           LEFT JOIN dokutypes t ON t.dt_id = d.pd_doktype
           LEFT JOIN picndoku_revision r ON r.pdr_revision_id = d.pd_revision_id
          WHERE d.pd_id = p_pd_id),
        ROW(true, 'Dokument nicht gefunden')::dms_forbidden)
$$;
