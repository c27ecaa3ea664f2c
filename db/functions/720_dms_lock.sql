-- Releases locks and check-outs: of one document (p_pdid) or of all, of one user (p_username) or
-- of anyone, of any age (p_days 0) or older than p_days days. A delayed upload (a row whose bytes
-- exist only in the holder's working copy) is deleted with its row when p_incldelayeduploads is
-- set and stays locked otherwise. Only an administrator may release another user's lock.
CREATE PROCEDURE picndoku__lock_or_checkout__remove(p_username text, p_pdid integer,
                                                    p_days integer, p_incldelayeduploads boolean)
LANGUAGE plpgsql AS $$
DECLARE
    me       text := korvex_session_login();
    is_admin boolean := coalesce((SELECT m_admin FROM mitarbeiter
                                   WHERE lower(m_login) = lower(korvex_session_login())), false);
    revs     integer[];
    foreign_lock text;
BEGIN
    SELECT array_agg(l.pdr_revision_id), min(l.pdr_lock_user)
               FILTER (WHERE lower(l.pdr_lock_user) <> lower(me))
      INTO revs, foreign_lock
      FROM (SELECT r.pdr_revision_id, r.pdr_lock_user
              FROM picndoku_revision r
             WHERE r.pdr_lock_user IS NOT NULL
               AND (p_username IS NULL OR lower(r.pdr_lock_user) = lower(p_username))
               AND (coalesce(p_days, 0) <= 0
                    OR r.pdr_lock_time < localtimestamp - make_interval(days => p_days))
               AND (p_pdid IS NULL OR r.pdr_revision_id =
                        (SELECT pd_revision_id FROM picndoku WHERE pd_id = p_pdid))
               FOR UPDATE OF r) l;
    IF revs IS NULL THEN
        RETURN;
    END IF;
    IF foreign_lock IS NOT NULL AND NOT is_admin THEN
        RAISE EXCEPTION 'Keine Berechtigung, die Sperre von % aufzuheben', foreign_lock
            USING ERRCODE = '42501';
    END IF;

    IF p_incldelayeduploads THEN
        DELETE FROM picndoku d WHERE d.pd_revision_id = ANY (revs) AND d.pd_delayed_upload;
        DELETE FROM picndoku_revision r
         WHERE r.pdr_revision_id = ANY (revs)
           AND NOT EXISTS (SELECT 1 FROM picndoku d WHERE d.pd_revision_id = r.pdr_revision_id);
    END IF;

    UPDATE picndoku_revision r
       SET pdr_lock_user = NULL, pdr_lock_time = NULL, pdr_lock_host = NULL,
           pdr_checkout_path = NULL, pdr_checkout_filetime = NULL
     WHERE r.pdr_revision_id = ANY (revs)
       AND NOT EXISTS (SELECT 1 FROM picndoku d
                        WHERE d.pd_revision_id = r.pdr_revision_id AND d.pd_delayed_upload);
END
$$;
