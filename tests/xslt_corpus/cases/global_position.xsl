<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:variable name="p" select="position()"/>
<xsl:variable name="l" select="last()"/>
<xsl:template match="/"><r p="{$p}" l="{$l}"/></xsl:template>
</xsl:stylesheet>
