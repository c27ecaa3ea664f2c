-- Sends a notification to the ERP's clients: to every client when target_user is empty, else to
-- that login's. params become Name=Value pairs on the client.
CREATE FUNCTION korvex_notify(p_action text, p_user text DEFAULT '', p_params jsonb DEFAULT '{}')
RETURNS void LANGUAGE sql AS $$
    SELECT pg_notify('korvex_notify', jsonb_build_object(
        'action', p_action, 'user', coalesce(p_user, ''), 'params', coalesce(p_params, '{}'))::text);
$$;
